#include "app/qentsplash.h"

#include "app/treeimages.h"
#include "settings/product.h"

#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

QentSplash::QentSplash(QWidget *mainWindow)
    : QDialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint), m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("QentSplash"));
    setWindowTitle(ApplicationTitle());

    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("QentSplashFrame"));
    m_frame->setFrameShape(QFrame::Panel);
    m_frame->setFrameShadow(QFrame::Raised);
    m_frame->setLineWidth(2);
    m_frame->installEventFilter(this);

    auto *logo = new QLabel(m_frame);
    logo->setObjectName(QStringLiteral("QentLogo"));
    logo->setPixmap(SplashLogo(80));
    logo->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    m_product = new QLabel(QStringLiteral("Korvel for OpenText eDOCS Skerrow Module"), m_frame);
    m_product->setObjectName(QStringLiteral("ProductName"));
    QFont productFont = m_product->font();
    productFont.setPointSizeF(productFont.pointSizeF() * 1.2);
    productFont.setBold(true);
    m_product->setFont(productFont);
    m_product->setWordWrap(true);

    m_version = new QLabel(QStringLiteral("Build Date"), m_frame);
    m_version->setObjectName(QStringLiteral("QentVersion"));

    m_status = new QLabel(m_frame);
    m_status->setObjectName(QStringLiteral("LabelStatus"));
    m_status->setFrameShape(QFrame::StyledPanel);
    m_status->setFrameShadow(QFrame::Sunken);
    m_status->setMinimumHeight(m_status->fontMetrics().height() + 10);
    m_status->setContentsMargins(6, 2, 6, 2);

    auto *grid = new QGridLayout(m_frame);
    grid->setContentsMargins(18, 18, 18, 14);
    grid->setHorizontalSpacing(18);
    grid->setVerticalSpacing(8);
    grid->addWidget(logo, 0, 0, 3, 1);
    grid->addWidget(m_product, 0, 1);
    grid->addWidget(m_version, 1, 1);
    grid->setRowStretch(2, 1);
    grid->addWidget(m_status, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    auto *outer = new QGridLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_frame);
    setFixedWidth(560);
}

QString QentSplash::statusText() const
{
    return m_status->text();
}

void QentSplash::setStatusText(const QString &text)
{
    m_status->setText(text);
}

QString QentSplash::productCaption() const
{
    return m_product->text();
}

void QentSplash::setProductCaption(const QString &text)
{
    m_product->setText(text);
}

QString QentSplash::versionCaption() const
{
    return m_version->text();
}

void QentSplash::setVersionCaption(const QString &text)
{
    m_version->setText(text);
}

void QentSplash::centreOnScreen()
{
    adjustSize();
    const QScreen *display = screen() ? screen() : QGuiApplication::primaryScreen();
    if (display) {
        QRect box = frameGeometry();
        box.moveCenter(display->availableGeometry().center());
        move(box.topLeft());
    }
}

void QentSplash::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    Form_KeyPress();
}

bool QentSplash::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_frame && event->type() == QEvent::MouseButtonRelease) {
        QentSplashFrame_MouseUp();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void QentSplash::Form_KeyPress()
{
    hide();
    unload();
}

void QentSplash::QentSplashFrame_MouseUp()
{
    unload();
}

void QentSplash::unload()
{
    if (m_mainWindow) {
        m_mainWindow->setEnabled(true);
        m_mainWindow->activateWindow();
        m_mainWindow->setFocus();
    }
    done(QDialog::Accepted);
}
