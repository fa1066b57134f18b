#pragma once

#include <QDialog>

class QPlainTextEdit;

// The list of a move preview in a dialog of its own, carrying the application title, with a button to
// keep the list as a text file. Owned by its parent window; deletes itself when closed.
class PreviewDialog : public QDialog {
    Q_OBJECT

public:
    PreviewDialog(const QString &text, QWidget *parent);

    // Writes the list to the file as UTF-8 text with the platform's line ends; false when the file cannot
    // be written, the file left as it was.
    bool saveTo(const QString &fileName) const;

private:
    void chooseFile();

    QString m_text;
};
