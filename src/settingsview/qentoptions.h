#pragma once

#include "settingsview/dmsettingsbrowser.h"

#include <QDialog>

class QComboBox;
class QLabel;

// The DM settings viewer, "eDOCS Local Settings": pick a library and one of its DM properties and
// see the property's value, with the current library's database engine, and the user's default
// library and the current library's user id and primary group in the status bar. The library picked
// becomes the program's current library while the viewer is open; closing it, by the Close button,
// Escape or the window's close box, reconnects the library that was current when it opened. Shown
// modally over the main window; the DM context is borrowed and must outlive it.
class QentOptions : public QDialog {
    Q_OBJECT

public:
    // Loads at once (Form_Load): without a current library the user is told and the viewer stays empty.
    explicit QentOptions(DmContext &dm, QWidget *parent = nullptr);

    void Form_Load();
    void ComboLibList_Click();
    void ComboPropertyItem_Click();
    void ButtonExit_Click();
    // Runs once, whichever way the viewer closes.
    void Form_Unload();

protected:
    void done(int result) override;

private:
    void showPanels();

    DmContext &m_dm;
    DmSettingsBrowser m_browser;
    QComboBox *m_comboPropertyItem = nullptr;
    QComboBox *m_comboLibList = nullptr;
    QLabel *m_labelPropertyResult = nullptr;
    QLabel *m_labelEngine = nullptr;
    QLabel *m_panels[3] = {};
};
