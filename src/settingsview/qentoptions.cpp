#include "settingsview/qentoptions.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

QLabel *caption(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

} // namespace

QentOptions::QentOptions(DmContext &dm, QWidget *parent) : QDialog(parent), m_dm(dm), m_browser(dm)
{
    setObjectName(QStringLiteral("QentOptions"));
    setWindowTitle(QStringLiteral("eDOCS Local Settings"));
    setModal(true);

    auto *frameProperties = new QFrame(this);
    frameProperties->setObjectName(QStringLiteral("FrameProperties"));
    frameProperties->setFrameShape(QFrame::StyledPanel);
    m_comboLibList = new QComboBox(frameProperties);
    m_comboLibList->setObjectName(QStringLiteral("ComboLibList"));
    m_comboPropertyItem = new QComboBox(frameProperties);
    m_comboPropertyItem->setObjectName(QStringLiteral("ComboPropertyItem"));
    m_comboPropertyItem->setMaxVisibleItems(20);
    m_labelPropertyResult = new QLabel(frameProperties);
    m_labelPropertyResult->setObjectName(QStringLiteral("LabelPropertyResult"));
    m_labelPropertyResult->setFrameShape(QFrame::Panel);
    m_labelPropertyResult->setFrameShadow(QFrame::Sunken);
    m_labelPropertyResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_labelPropertyResult->setMinimumWidth(280);

    m_labelEngine = new QLabel(frameProperties);
    m_labelEngine->setObjectName(QStringLiteral("LabelEngineResult"));

    auto *grid = new QGridLayout(frameProperties);
    QLabel *labelLibList =
        caption(QStringLiteral("LabelLibList"), QStringLiteral("Library:"), frameProperties);
    labelLibList->setBuddy(m_comboLibList);
    QLabel *labelProperty =
        caption(QStringLiteral("LabelPropertyItem"), QStringLiteral("Property:"), frameProperties);
    labelProperty->setBuddy(m_comboPropertyItem);
    const std::pair<QLabel *, QWidget *> rows[] = {
        {labelLibList, m_comboLibList},
        {caption(QStringLiteral("LabelEngine"), QStringLiteral("Engine:"), frameProperties), m_labelEngine},
        {labelProperty, m_comboPropertyItem},
        {caption(QStringLiteral("LabelPropertyValue"), QStringLiteral("Property Value:"), frameProperties),
         m_labelPropertyResult}};
    for (int row = 0; row < 4; ++row) {
        grid->addWidget(rows[row].first, row, 0);
        grid->addWidget(rows[row].second, row, 1);
    }
    grid->setColumnStretch(1, 1);

    auto *frameButtons = new QFrame(this);
    frameButtons->setObjectName(QStringLiteral("FrameButtons"));
    auto *buttonExit = new QPushButton(QStringLiteral("&Close"), frameButtons);
    buttonExit->setObjectName(QStringLiteral("ButtonExit"));
    buttonExit->setDefault(true);
    auto *buttons = new QHBoxLayout(frameButtons);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch();
    buttons->addWidget(buttonExit);

    auto *statusBarInfo = new QStatusBar(this);
    statusBarInfo->setObjectName(QStringLiteral("StatusBarInfo"));
    statusBarInfo->setSizeGripEnabled(false);
    statusBarInfo->setContentsMargins(0, 0, 2, 0);
    const std::pair<QString, QString> panelCaptions[] = {
        {QStringLiteral("Default library:"), QStringLiteral("Your default library")},
        {QStringLiteral("Login:"), QStringLiteral("Your login ID")},
        {QStringLiteral("Group:"), QStringLiteral("Your primary group")}};
    for (int panel = 0; panel < 3; ++panel) {
        const auto &[captionText, toolTip] = panelCaptions[panel];
        statusBarInfo->addWidget(
            caption(QStringLiteral("StatusBarInfoCaption%1").arg(panel + 1), captionText, statusBarInfo));
        m_panels[panel] = new QLabel(statusBarInfo);
        m_panels[panel]->setObjectName(QStringLiteral("StatusBarInfoPanel%1").arg(panel + 1));
        m_panels[panel]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_panels[panel]->setToolTip(toolTip);
        statusBarInfo->addWidget(m_panels[panel], 1);
    }

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frameProperties);
    layout->addWidget(frameButtons);
    layout->addWidget(statusBarInfo);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_comboLibList, &QComboBox::currentIndexChanged, this, &QentOptions::ComboLibList_Click);
    connect(m_comboPropertyItem, &QComboBox::currentIndexChanged, this,
            &QentOptions::ComboPropertyItem_Click);
    connect(buttonExit, &QPushButton::clicked, this, &QentOptions::ButtonExit_Click);

    Form_Load();
}

void QentOptions::showPanels()
{
    const SessionPanels panels = m_browser.panels();
    m_panels[0]->setText(panels.library);
    m_panels[1]->setText(panels.userId);
    m_panels[2]->setText(panels.primaryGroup);
    m_labelEngine->setText(m_browser.engineText());
}

void QentOptions::Form_Load()
{
    if (!m_browser.load())
        return;
    showPanels();
    {
        // Filling and selecting must not switch libraries: the current one is selected at the end.
        const QSignalBlocker blocker(m_comboLibList);
        m_comboLibList->addItems(m_browser.libraryNames());
        m_comboLibList->setCurrentIndex(m_browser.libraryNames().indexOf(m_browser.rememberedLibrary()));
    }
    {
        const QSignalBlocker blocker(m_comboPropertyItem);
        m_comboPropertyItem->clear();
        m_comboPropertyItem->addItems(m_browser.propertyNames());
        m_comboPropertyItem->setCurrentIndex(0);
    }
    ComboPropertyItem_Click();
    m_dm.window.setMousePointer(MousePointer::Default);
    m_dm.window.processEvents();
}

void QentOptions::ComboLibList_Click()
{
    if (!m_browser.switchLibrary(m_comboLibList->currentText()))
        return;
    // After a failed switch the list shows the library that is current, so that the panels and the
    // value are not taken for those of the library the user picked.
    {
        const QSignalBlocker blocker(m_comboLibList);
        const int current = m_comboLibList->findText(m_browser.currentLibraryName());
        if (current >= 0)
            m_comboLibList->setCurrentIndex(current);
    }
    showPanels();
    ComboPropertyItem_Click();
}

void QentOptions::ComboPropertyItem_Click()
{
    m_labelPropertyResult->setText(m_browser.propertyText(m_comboPropertyItem->currentText()));
}

void QentOptions::ButtonExit_Click()
{
    reject();
}

void QentOptions::Form_Unload()
{
    m_browser.restoreLibrary();
}

void QentOptions::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}
