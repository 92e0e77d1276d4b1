// The worker's questions as real alert windows: they need an X display.
#include "DeviceFixture.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
    juce::AlertWindow* openAlert()
    {
        auto* mcm = juce::ModalComponentManager::getInstance();

        for (int i = 0; i < mcm->getNumModalComponents(); ++i)
            if (auto* w = dynamic_cast<juce::AlertWindow*> (mcm->getModalComponent (i)))
                return w;

        return nullptr;
    }
}

class QuestionBox : public DeviceFixture
{
protected:
    void SetUp() override
    {
        if (juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}).isEmpty())
            GTEST_SKIP() << "needs an X display (run under xvfb-run)";

        // The framework's boxes instead of scripted answers.
        worker = std::make_unique<MyCom> (&mainListener);
        worker->setListener (LISTENER_PAGE, &pageListener);
        DeviceAddressChar = '$';
    }

    void TearDown() override
    {
        if (worker != nullptr)
            DeviceFixture::TearDown();

        EXPECT_TRUE (runMessagesUntil ([] { return openAlert() == nullptr; }, 20000)) << "a box stayed open";
    }

    // Starts a transfer whose file is gone when the device has been found.
    void askAboutAMissingFile()
    {
        startDevice ({ "--name", "ABCD1234" });
        const auto file = writeFile ("example.dsb", exampleFile());
        postFile (file);
        ASSERT_TRUE (file.deleteFile());
        postPortOpen (portName());
        ASSERT_TRUE (runMessagesUntil ([] { return openAlert() != nullptr; }, 20000));
    }
};

TEST_F (QuestionBox, TheAnswerReachesTheWaitingWorker)
{
    askAboutAMissingFile();
    auto* alert = openAlert();
    EXPECT_EQ (alert->getName(), "Tips");
    EXPECT_EQ (alert->getDescription(), "Tips. The file does not exist,Do you want to apply original file?");  // title and message
    EXPECT_EQ (alert->getNumButtons(), 2);

    alert->exitModalState (1);   // "loading original file"
    ASSERT_TRUE (waitForOutcomes (1)) << log.describe();
    EXPECT_EQ (log.count (Event::fromPage, MSG_NOTIFY, NOTIFY_FINISHED), 1);
}

TEST_F (QuestionBox, QuittingWithTheQuestionOpenDismissesIt)
{
    askAboutAMissingFile();

    EXPECT_TRUE (worker->stopWorker());   // false would mean the thread was killed
    worker.reset();
    EXPECT_TRUE (runMessagesUntil ([] { return openAlert() == nullptr; }, 20000));
    EXPECT_FALSE (log.hasLine ("Start firmware download..."));
}

TEST_F (QuestionBox, FailedOpenShowsTheWarningBox)
{
    postJob (payload::makePortOpen ("ttyFlintmoorMissing2", 9600));
    ASSERT_TRUE (runMessagesUntil ([] { return openAlert() != nullptr; }, 20000));

    auto* alert = openAlert();
    EXPECT_EQ (alert->getName(), "Tips");
    EXPECT_EQ (alert->getDescription(), "Tips. Open COM fail!");  // title and message
    alert->exitModalState (0);
}
