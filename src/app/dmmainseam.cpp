// The main window as the window seam: what the procedures show and ask through it.

#include "app/dmmain.h"

#include "settings/product.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int TwipsPerInch = 1440;

int toTwips(int pixels, int dpi)
{
    return qRound(double(pixels) * TwipsPerInch / dpi);
}

int toPixels(int twips, int dpi)
{
    return qRound(double(twips) * dpi / TwipsPerInch);
}

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QString DMMain::statusText() const
{
    return m_labelStatus->text();
}

void DMMain::setStatusText(const QString &text)
{
    m_labelStatus->setText(text);
}

bool DMMain::verboseLogging() const
{
    return m_checkLogMethod->isChecked();
}

bool DMMain::displayErrors() const
{
    return m_checkDisplayErrors->isChecked();
}

MessageAnswer DMMain::showMessage(const QString &text, MessageIcon icon, MessageButtons buttons)
{
    return messageBox(text, icon, buttons, false);
}

MessageAnswer DMMain::messageBox(const QString &text, MessageIcon icon, MessageButtons buttons,
                                 bool defaultNo)
{
    if (m_presenter)
        return m_presenter(text, icon, buttons);
    QMessageBox box(boxIcon(icon), ApplicationTitle(), text,
                    buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    m_messageParent ? m_messageParent.get() : this);
    box.setObjectName(QStringLiteral("MessageBox"));
    if (defaultNo)
        box.setDefaultButton(QMessageBox::No);
    const QAbstractButton *openReport = nullptr;
    if (buttons == MessageButtons::OkOpenReport) {
        openReport = box.addButton(QStringLiteral("&Open Report"), QMessageBox::ActionRole);
        box.setDefaultButton(QMessageBox::Ok);
    }
    // The hourglass would otherwise stay over the box that waits for the user.
    const bool waiting = m_pointer == MousePointer::Hourglass;
    if (waiting)
        QApplication::restoreOverrideCursor();
    const int answer = box.exec();
    if (waiting)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    if (openReport)
        return box.clickedButton() == openReport ? MessageAnswer::OpenReport : MessageAnswer::Ok;
    if (buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

void DMMain::setMousePointer(MousePointer pointer)
{
    if (pointer == m_pointer)
        return;
    if (pointer == MousePointer::Hourglass)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
    m_pointer = pointer;
}

void DMMain::processEvents()
{
    QCoreApplication::processEvents();
}

void DMMain::setUserName(const QString &text)
{
    m_labelUserName->setText(text);
}

void DMMain::setUserNameToolTip(const QString &text)
{
    m_labelUserName->setToolTip(text);
}

void DMMain::setPrimaryGroup(const QString &text)
{
    m_labelPrimaryGroup->setText(text);
}

void DMMain::setLibraryName(const QString &text)
{
    m_labelLibraryName->setText(text);
}

QLabel *DMMain::counterLabel(MoveCounter which) const
{
    switch (which) {
    case MoveCounter::Total:
        return m_labelTotal;
    case MoveCounter::Read:
        return m_labelRead;
    case MoveCounter::Added:
        return m_labelAdded;
    case MoveCounter::Errors:
        break;
    }
    return m_labelErrors;
}

QString DMMain::counter(MoveCounter which) const
{
    return counterLabel(which)->text();
}

void DMMain::setCounter(MoveCounter which, const QString &text)
{
    counterLabel(which)->setText(text);
}

QString DMMain::targetLibrary() const
{
    return m_comboTargetLibrary->currentText();
}

quintptr DMMain::windowHandle() const
{
    return quintptr(winId());
}

QPoint DMMain::windowPositionTwips() const
{
    return {toTwips(pos().x(), logicalDpiX()), toTwips(pos().y(), logicalDpiY())};
}

QSize DMMain::screenSizeTwips() const
{
    const QScreen *display = screen() ? screen() : QGuiApplication::primaryScreen();
    const QSize pixels = display ? display->geometry().size() : QSize();
    return {toTwips(pixels.width(), logicalDpiX()), toTwips(pixels.height(), logicalDpiY())};
}

QSize DMMain::sizeTwips() const
{
    const QSize pixels = frameGeometry().size();
    return {toTwips(pixels.width(), logicalDpiX()), toTwips(pixels.height(), logicalDpiY())};
}

void DMMain::moveToTwips(const QPoint &topLeft)
{
    move(toPixels(topLeft.x(), logicalDpiX()), toPixels(topLeft.y(), logicalDpiY()));
}

void DMMain::setHeightTwips(int height)
{
    // The frame is part of the height as the saved settings count it; only the client area resizes.
    const int frame = frameGeometry().height() - geometry().height();
    resize(width(), toPixels(height, logicalDpiY()) - frame);
}

void DMMain::endProgram()
{
    m_programEnded = true;
    setMousePointer(MousePointer::Default);
    hide();
    emit programEnded();
}
