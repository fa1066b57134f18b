#include "support/fakewindow.h"

#include <gtest/gtest.h>

void FakeWindow::scriptAnswers(std::initializer_list<MessageAnswer> answers)
{
    m_answers.insert(m_answers.end(), answers);
}

void FakeWindow::setStatusText(const QString &text)
{
    m_status = text;
    statusHistory << text;
}

MessageAnswer FakeWindow::showMessage(const QString &text, MessageIcon icon, MessageButtons buttons)
{
    messages.push_back({text, icon, buttons});
    if (buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    if (m_answers.empty() && m_unscripted)
        return *m_unscripted;
    if (m_answers.empty()) {
        ADD_FAILURE() << "unscripted question: " << text.toStdString();
        return MessageAnswer::No;
    }
    const MessageAnswer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

QString FakeWindow::counter(MoveCounter which) const
{
    const auto found = counters.find(which);
    return found == counters.end() ? QString() : found->second;
}
