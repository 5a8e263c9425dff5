#pragma once
// Drives a modal dialog or property sheet from inside its own message loop: steps run in order
// on the ticks of a thread timer, which the modal loop dispatches like any other message. Steps
// thus run on the dialog's thread, between its messages, and see its windows as they are.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class ModalScript {
public:
    // A step returns true when done, false to be tried again on the next tick.
    using Step = std::function<bool()>;

    // abort ends the dialog when a step runs out of time, so a failing test never hangs.
    explicit ModalScript(std::function<void()> abort, DWORD stepTimeoutMs = 10000)
        : abort_(std::move(abort)), stepTimeoutMs_(stepTimeoutMs) {}
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;
    ~ModalScript() { Stop(); }

    ModalScript& WaitUntil(std::string name, Step step) {
        steps_.push_back({std::move(name), std::move(step)});
        return *this;
    }
    ModalScript& Do(std::string name, std::function<void()> action) {
        steps_.push_back({std::move(name), [action] {
                              action();
                              return true;
                          }});
        return *this;
    }
    // Lets the loop run a few more ticks (a dialog ended by mistake would be gone after them).
    ModalScript& Ticks(int count) {
        auto left = std::make_shared<int>(count);
        steps_.push_back({"ticks", [left] { return --*left <= 0; }});
        return *this;
    }

    void Start() {
        Active() = this;
        stepStart_ = ::GetTickCount64();
        timer_ = ::SetTimer(nullptr, 0, 25, OnTimer);
    }
    // After the modal call returned: every step must have run.
    void ExpectFinished() {
        Stop();
        EXPECT_EQ(next_, steps_.size()) << "the dialog ended before step \"" << PendingName() << "\"";
        EXPECT_FALSE(timedOut_) << "step \"" << PendingName() << "\" timed out";
    }
    bool TimedOut() const { return timedOut_; }

private:
    struct Entry {
        std::string name;
        Step step;
    };

    static ModalScript*& Active() {
        static ModalScript* active = nullptr;
        return active;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        if (Active()) Active()->Tick();
    }

    void Tick() {
        // A step that sends messages may let another tick in; run one at a time.
        if (running_ || next_ >= steps_.size() || timedOut_) return;
        running_ = true;
        if (steps_[next_].step()) {
            ++next_;
            stepStart_ = ::GetTickCount64();
        } else if (::GetTickCount64() - stepStart_ > stepTimeoutMs_) {
            timedOut_ = true;
            abort_();
        }
        running_ = false;
    }
    void Stop() {
        if (timer_) ::KillTimer(nullptr, timer_);
        timer_ = 0;
        if (Active() == this) Active() = nullptr;
    }
    std::string PendingName() const { return next_ < steps_.size() ? steps_[next_].name : std::string("-"); }

    std::function<void()> abort_;
    DWORD stepTimeoutMs_;
    std::vector<Entry> steps_;
    size_t next_ = 0;
    UINT_PTR timer_ = 0;
    ULONGLONG stepStart_ = 0;
    bool running_ = false;
    bool timedOut_ = false;
};
