#pragma once

#include <QLabel>

// A label that shows as much of a long text (a file path) as fits, shortened in the middle, with the
// whole text as its tool tip. Give it an ignored horizontal size policy so that it never widens its
// window.
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;

    void setFullText(const QString &text);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();

    QString m_fullText;
};
