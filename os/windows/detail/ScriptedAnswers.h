#pragma once
// Private to os/: what the scripts of modal dialogs share (message boxes, file dialogs).
// Every dialog shown is recorded; scripts nest, the newest answers; each takes its answers
// in order; a problem goes to the script's handler, or without one stops the process with
// the message, as a test that runs on unseen would only mislead.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace HA::OS::DETAIL {

using ScriptProblemHandler = std::function<void(const std::string& problem)>;

// Tells the handler, or stops the process: "os: <kind> script: <problem>".
inline void reportScriptProblem(const ScriptProblemHandler& handler, const char* kind, const std::string& problem)
{
    if (handler) {
        handler(problem);
        return;
    }
    std::fprintf(stderr, "os: %s script: %s\n", kind, problem.c_str());
    std::fflush(stderr);
    std::abort();
}

template <typename Record, typename Answer>
struct ScriptState {
    ScriptProblemHandler onProblem;
    std::vector<Answer> answers;
    size_t next = 0;
    std::vector<Record> shown;
};

// The records and the scripts of one kind of dialog; `kind` names it in problems.
template <typename Record, typename Answer>
class ScriptedAnswers {
public:
    using State = ScriptState<Record, Answer>;

    explicit ScriptedAnswers(const char* kind) : mKind(kind) {}

    void push(const std::shared_ptr<State>& script)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mScripts.push_back(script);
    }
    // Takes the script off; answers it never gave are a problem ("<n> expected <what> never
    // shown", `what` a plural such as "file dialog(s)").
    void pop(const std::shared_ptr<State>& script, const char* what)
    {
        size_t left;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mScripts.erase(std::remove(mScripts.begin(), mScripts.end(), script), mScripts.end());
            left = script->answers.size() - script->next;
        }
        if (left > 0)
            report(*script, std::to_string(left) + " expected " + what + " never shown");
    }
    void add(State& script, Answer answer)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        script.answers.push_back(std::move(answer));
    }

    // The script that answers now (null: none) and its next answer (none left: nullopt).
    struct Turn {
        std::shared_ptr<State> script;
        std::optional<Answer> answer;
    };
    Turn take()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        Turn turn;
        if (!mScripts.empty()) {
            turn.script = mScripts.back();
            if (turn.script->next < turn.script->answers.size())
                turn.answer = turn.script->answers[turn.script->next++];
        }
        return turn;
    }
    // Records a dialog, also as shown by the script that answered it.
    void keep(const Record& record, const std::shared_ptr<State>& script)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mRecords.push_back(record);
        if (script)
            script->shown.push_back(record);
    }
    void report(const State& script, const std::string& problem) const
    {
        reportScriptProblem(script.onProblem, mKind, problem);
    }

    std::vector<Record> records()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        return mRecords;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mRecords.clear();
    }
    std::vector<Record> shown(const State& script)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        return script.shown;
    }

private:
    const char* mKind;
    std::mutex mMutex;
    std::vector<Record> mRecords;
    std::vector<std::shared_ptr<State>> mScripts;  // newest last
};

}  // namespace HA::OS::DETAIL
