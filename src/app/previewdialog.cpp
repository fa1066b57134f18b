#include "app/previewdialog.h"

#include "settings/product.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextStream>
#include <QVBoxLayout>

PreviewDialog::PreviewDialog(const QString &text, bool movable, QWidget *parent)
    : QDialog(parent), m_text(text)
{
    setObjectName(QStringLiteral("PreviewDialog"));
    setWindowTitle(ApplicationTitle());
    setAttribute(Qt::WA_DeleteOnClose);
    // The closing line decides what to do next, so it is read first; a long list would bury it.
    const qsizetype lastBreak = text.lastIndexOf(u'\n');
    auto *verdict = new QLabel(text.mid(lastBreak + 1), this);
    verdict->setObjectName(QStringLiteral("LabelVerdict"));
    verdict->setWordWrap(true);
    verdict->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = verdict->font();
    bold.setBold(true);
    verdict->setFont(bold);
    auto *list = new QTextEdit(this);
    list->setPlainText(lastBreak < 0 ? QString() : text.left(lastBreak));
    list->setObjectName(QStringLiteral("TextPreview"));
    list->setReadOnly(true);
    // Names and paths run long; wrapped, every line is read without scrolling sideways.
    list->setLineWrapMode(QTextEdit::WidgetWidth);
    list->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    hangIndents(*list);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Close, this);
    m_moveNow = buttons->addButton(QStringLiteral("&Move Now"), QDialogButtonBox::ActionRole);
    m_moveNow->setObjectName(QStringLiteral("ButtonMoveNow"));
    m_moveNow->setAutoDefault(false);
    setMovable(movable);
    buttons->button(QDialogButtonBox::Save)->setObjectName(QStringLiteral("ButtonSavePreview"));
    buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("Save As..."));
    buttons->button(QDialogButtonBox::Save)->setToolTip(QStringLiteral("Keep this list as a text file."));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::Save), &QPushButton::clicked, this, &PreviewDialog::chooseFile);
    connect(m_moveNow, &QPushButton::clicked, this, [this] {
        accept();
        emit moveNowChosen();
    });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(verdict);
    layout->addWidget(list);
    layout->addWidget(buttons);
    resize(900, 560);
}

void PreviewDialog::setMovable(bool movable)
{
    m_moveNow->setEnabled(movable);
    m_moveNow->setToolTip(movable ? QStringLiteral("Move the folders previewed here. You are asked first.")
                                  : QStringLiteral("The move would be refused: the list says why."));
}

// A wrapped line goes on under its own start, so that the levels of the list stay plain to see.
void PreviewDialog::hangIndents(QTextEdit &list)
{
    const qreal blank = QFontMetricsF(list.font()).horizontalAdvance(u' ');
    QTextCursor cursor(list.document());
    for (QTextBlock block = list.document()->begin(); block.isValid(); block = block.next()) {
        const QString line = block.text();
        qsizetype indent = 0;
        while (indent < line.size() && line[indent] == u' ')
            ++indent;
        if (indent == 0)
            continue;
        QTextBlockFormat format = block.blockFormat();
        format.setLeftMargin(blank * qreal(indent));
        format.setTextIndent(-blank * qreal(indent));
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
    }
}

bool PreviewDialog::saveTo(const QString &fileName) const
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out << m_text << '\n';
    out.flush();
    return out.status() == QTextStream::Ok && file.commit();
}

void PreviewDialog::chooseFile()
{
    const QString fileName = QFileDialog::getSaveFileName(
        this, ApplicationTitle(), QDir::home().filePath(QStringLiteral("Korvel preview.txt")),
        QStringLiteral("Text files (*.txt);;All files (*)"));
    if (!fileName.isEmpty() && !saveTo(fileName))
        QMessageBox::warning(this, ApplicationTitle(),
                             QStringLiteral("Error: Unable to write the preview to ") +
                                 QDir::toNativeSeparators(fileName));
}
