#pragma once

#include "dm/windowseam.h"

#include <QDialog>

class QFrame;
class QLabel;

// The splash window: product, build and status labels beside the logo. Start-up shows it as the
// status window while the main window is hidden; About shows it modally. Any key, or a mouse button
// released over it, dismisses it: it hides, ends a modal showing, and enables and focuses the main
// window. The owner deletes it afterwards (each showing starts from a fresh window with the designed
// captions).
class QentSplash : public QDialog, public StatusWindow {
    Q_OBJECT

public:
    // mainWindow is borrowed (may be null) and enabled again when the splash is dismissed.
    explicit QentSplash(QWidget *mainWindow);

    QString statusText() const override;
    void setStatusText(const QString &text) override;

    // The captions of the product label (ProductName) and the build label (QentVersion).
    QString productCaption() const;
    void setProductCaption(const QString &text);
    QString versionCaption() const;
    void setVersionCaption(const QString &text);

    // Places the window in the middle of the screen it is on.
    void centreOnScreen();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_KeyPress();
    void QentSplashFrame_MouseUp();
    void unload();

    QWidget *m_mainWindow;
    QFrame *m_frame;
    QLabel *m_product;
    QLabel *m_version;
    QLabel *m_status;
};
