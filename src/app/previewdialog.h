#pragma once

#include <QDialog>

class QTextEdit;
class QPushButton;

// The list of a move preview in a dialog of its own, carrying the application title: its closing line
// with the verdict above the list, long lines wrapped, a button to keep the whole text as a text file
// and one to start the move previewed. Owned by its parent window; deletes itself when closed.
class PreviewDialog : public QDialog {
    Q_OBJECT

public:
    // text: the preview's list, its closing line (counts and verdict) last. movable: Move Now is offered.
    PreviewDialog(const QString &text, bool movable, QWidget *parent);

    // Move Now is enabled only while the move may go ahead.
    void setMovable(bool movable);

    // Writes the whole text, in the preview's own order, to the file as UTF-8 text with the platform's
    // line ends; false when the file cannot be written, the file left as it was.
    bool saveTo(const QString &fileName) const;

signals:
    // Move Now was pressed; the dialog has closed.
    void moveNowChosen();

private:
    void chooseFile();
    static void hangIndents(QTextEdit &list);

    QString m_text;
    QPushButton *m_moveNow = nullptr;
};
