#include "WorkerDialogs.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

namespace
{
// One question on its way to the screen or on it. The window pointer and the
// registry are touched on the message thread only.
struct Question
{
    juce::WaitableEvent answered;
    std::atomic<int> result { 0 };
    std::atomic<bool> abandoned { false };
    juce::Component::SafePointer<juce::AlertWindow> window;
};

struct OpenQuestions
{
    std::vector<std::weak_ptr<Question>> questions;
};

class FrameworkDialogs : public WorkerDialogs
{
public:
    bool askOkCancel (const juce::String& title, const juce::String& message,
                      const juce::String& button1, const juce::String& button2) override
    {
        return ask (title, message, button1, button2, {}, 2) != 0;
    }

    int askYesNoCancel (const juce::String& title, const juce::String& message,
                        const juce::String& button1, const juce::String& button2,
                        const juce::String& button3) override
    {
        return ask (title, message, button1, button2, button3, 3);
    }

    void showWarning (const juce::String& title, const juce::String& message,
                      const juce::String& button) override
    {
        juce::MessageManager::callAsync ([title, message, button]
        {
            juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon,
                                                    title, message, button, nullptr, nullptr);
        });
    }

    void dismissAll() override
    {
        JUCE_ASSERT_MESSAGE_THREAD

        for (auto& weak : open->questions)
        {
            if (auto q = weak.lock())
            {
                q->abandoned = true;

                if (auto* w = q->window.getComponent())
                    w->exitModalState (0);

                q->answered.signal();
            }
        }

        open->questions.clear();
    }

private:
    // Raises the box on the message thread and waits for its answer; gives up
    // as cancelled when the calling thread is asked to stop.
    int ask (const juce::String& title, const juce::String& message, const juce::String& button1,
             const juce::String& button2, const juce::String& button3, int numButtons)
    {
        auto question = std::make_shared<Question>();
        auto registry = open;

        const bool queued = juce::MessageManager::callAsync ([=]
        {
            if (question->abandoned)
                return;

            auto* window = juce::LookAndFeel::getDefaultLookAndFeel()
                               .createAlertWindow (title, message, button1, button2, button3,
                                                   juce::MessageBoxIconType::WarningIcon, numButtons, nullptr);
            question->window = window;

            auto& held = registry->questions;
            held.erase (std::remove_if (held.begin(), held.end(), [] (const auto& q) { return q.expired(); }), held.end());
            held.push_back (question);

            window->enterModalState (true, juce::ModalCallbackFunction::create ([question] (int result)
            {
                question->result = result;
                question->answered.signal();
            }), true);
        });

        if (! queued)
            return 0;

        while (! question->answered.wait (10))
        {
            if (juce::Thread::currentThreadShouldExit())
            {
                question->abandoned = true;
                return 0;
            }
        }

        return question->abandoned ? 0 : question->result.load();
    }

    std::shared_ptr<OpenQuestions> open = std::make_shared<OpenQuestions>();
};
}

std::unique_ptr<WorkerDialogs> createFrameworkDialogs()
{
    return std::make_unique<FrameworkDialogs>();
}
