#include "settingsview/dmsettingsbrowser.h"

#include "dm/connectlibrary.h"
#include "dmapi/dmerror.h"
#include "dmapi/enginecode.h"

#include <functional>

namespace {

// Runs one step of reading; a DM failure leaves what the step would have filled as it was.
void step(const std::function<void()> &read)
{
    try {
        read();
    } catch (const DmError &) {
    }
}

QString valueText(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return value.toString();
}

} // namespace

bool DmSettingsBrowser::load()
{
    const std::shared_ptr<DmLibrary> current = m_dm.session.currentLibrary;
    if (!current) {
        m_dm.window.showMessage(QStringLiteral("Library object not set - cannot continue"),
                                MessageIcon::Critical);
        return false;
    }
    step([&] { m_rememberedLibrary = current->name(); });
    step([&] {
        const std::shared_ptr<DmLibraries> libraries = m_dm.session.libraries;
        for (int index = 1; libraries && index <= libraries->count(); ++index)
            if (const std::shared_ptr<DmLibrary> library = libraries->item(index))
                m_libraryNames << library->name();
    });
    step([&] {
        const std::shared_ptr<DmProperties> properties = current->properties();
        for (int index = 1; properties && index <= properties->count(); ++index)
            if (const std::shared_ptr<DmProperty> property = properties->item(index))
                m_propertyNames << property->name();
    });
    return true;
}

QString DmSettingsBrowser::currentLibraryName() const
{
    QString name;
    step([&] {
        if (m_dm.session.currentLibrary)
            name = m_dm.session.currentLibrary->name();
    });
    return name;
}

SessionPanels DmSettingsBrowser::panels() const
{
    SessionPanels panels;
    step([&] {
        if (m_dm.session.application)
            if (const std::shared_ptr<DmLibrary> library = m_dm.session.application->defaultLibrary())
                panels.library = library->name();
    });
    const std::shared_ptr<DmLibrary> current = m_dm.session.currentLibrary;
    if (!current)
        return panels;
    step([&] { panels.userId = current->userId(); });
    step([&] { panels.primaryGroup = current->userPrimaryGroup(); });
    return panels;
}

QString DmSettingsBrowser::engineText() const
{
    const int code = m_dm.session.sql.engineCode();
    const QString name = EngineName(code);
    return QString::number(code) + (name.isEmpty() ? QString() : QStringLiteral(" (") + name + u')');
}

QString DmSettingsBrowser::propertyText(const QString &name) const
{
    QString text;
    step([&] {
        const std::shared_ptr<DmLibrary> current = m_dm.session.currentLibrary;
        const std::shared_ptr<DmProperties> properties = current ? current->properties() : nullptr;
        if (const std::shared_ptr<DmProperty> property = properties ? properties->item(name) : nullptr)
            text = valueText(property->value());
    });
    return text;
}

bool DmSettingsBrowser::switchLibrary(const QString &libraryName)
{
    if (libraryName == currentLibraryName())
        return false;
    m_dm.window.setMousePointer(MousePointer::Hourglass);
    m_dm.window.processEvents();
    ConnectLibrary(m_dm, libraryName);
    m_dm.window.setMousePointer(MousePointer::Default);
    m_dm.window.processEvents();
    return true;
}

void DmSettingsBrowser::restoreLibrary()
{
    if (!m_rememberedLibrary.isEmpty())
        ConnectLibrary(m_dm, m_rememberedLibrary);
    m_rememberedLibrary.clear();
}
