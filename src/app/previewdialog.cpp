#include "app/previewdialog.h"

#include "settings/product.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTextStream>
#include <QVBoxLayout>

PreviewDialog::PreviewDialog(const QString &text, QWidget *parent) : QDialog(parent), m_text(text)
{
    setObjectName(QStringLiteral("PreviewDialog"));
    setWindowTitle(ApplicationTitle());
    setAttribute(Qt::WA_DeleteOnClose);
    auto *list = new QPlainTextEdit(text, this);
    list->setObjectName(QStringLiteral("TextPreview"));
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Save)->setObjectName(QStringLiteral("ButtonSavePreview"));
    buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("Save As..."));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::Save), &QPushButton::clicked, this, &PreviewDialog::chooseFile);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(list);
    layout->addWidget(buttons);
    resize(900, 560);
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
