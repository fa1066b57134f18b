#pragma once

#include "dm/windowseam.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <vector>

// The main window for tests: records what procedures show and answers questions from a script.
// A Yes/No question that the test did not script fails the test and is answered No.
class FakeWindow : public WindowSeam {
public:
    struct Message {
        QString text;
        MessageIcon icon;
        MessageButtons buttons;
    };

    // Answers for the coming Yes/No questions, in order.
    void scriptAnswers(std::initializer_list<MessageAnswer> answers);
    // The answer to every question past the script, for runs whose questions a test cannot foresee.
    void answerUnscripted(MessageAnswer answer) { m_unscripted = answer; }

    QString statusText() const override { return m_status; }
    void setStatusText(const QString &text) override;

    bool verboseLogging() const override { return verbose; }
    bool displayErrors() const override { return showErrors; }
    void setLogMenusEnabled(bool enabled) override { logMenusEnabled = enabled; }
    MessageAnswer showMessage(const QString &text, MessageIcon icon, MessageButtons buttons) override;
    MousePointer mousePointer() const override { return pointer; }
    void setMousePointer(MousePointer p) override { pointer = p; }
    void processEvents() override
    {
        ++eventRounds;
        if (onEvents)
            onEvents();
    }
    void setUserName(const QString &text) override { userName = text; }
    void setUserNameToolTip(const QString &text) override { userNameToolTip = text; }
    void setPrimaryGroup(const QString &text) override { primaryGroup = text; }
    void setLibraryName(const QString &text) override { libraryName = text; }
    void checkLibraryMenuEntry(const QString &name) override { checkedLibrary = name; }
    QString counter(MoveCounter which) const override;
    void setCounter(MoveCounter which, const QString &text) override { counters[which] = text; }
    QString targetLibrary() const override { return target; }
    // Confirmations come from the same script as other questions.
    MessageAnswer confirmMove(const QString &question) override
    {
        return showMessage(question, MessageIcon::Question, MessageButtons::YesNo);
    }
    void setMoveRunning(bool running) override { moveRunning.push_back(running); }
    void showProgress(const MoveProgress &p) override { progress.push_back(p); }
    void hideProgress() override { ++progressHidden; }
    void offerReport(const QString &fileName) override { reportsOffered << fileName; }
    void showPreview(const QString &text, bool) override { previews << text; }
    quintptr windowHandle() const override { return 0x4b0; }
    QPoint windowPositionTwips() const override { return position; }
    void endProgram() override { ++endings; }

    bool verbose = true;
    bool showErrors = true;
    bool logMenusEnabled = false;
    MousePointer pointer = MousePointer::Default;
    int eventRounds = 0;
    // What the user does while events are let run (a click on Cancel).
    std::function<void()> onEvents;
    int endings = 0;
    QPoint position{1440, 720};
    QString userName, userNameToolTip, primaryGroup, libraryName, checkedLibrary, target;
    std::map<MoveCounter, QString> counters;
    std::vector<bool> moveRunning;
    std::vector<MoveProgress> progress;
    int progressHidden = 0;
    QStringList statusHistory;
    QStringList reportsOffered;
    std::vector<Message> messages;
    QStringList previews;

private:
    QString m_status;
    std::deque<MessageAnswer> m_answers;
    std::optional<MessageAnswer> m_unscripted;
};

// A second status window, standing in for the splash window.
class FakeStatusWindow : public StatusWindow {
public:
    QString statusText() const override { return text; }
    void setStatusText(const QString &t) override { text = t; }
    QString text;
};
