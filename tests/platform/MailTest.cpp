#include "foundation/NSArray.h"
#include "foundation/NSNumber.h"
#include "foundation/NSString.h"
#include "messageui/MFMailComposeViewController.h"
#include "platform/StoreTestSupport.h"
#include "runtime/AutoreleasePool.h"
#include "uikit/UIApplication.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIDriver.h"
#include "uikit/UITextView.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

// Hears how the mail form finished. It may hold the form as its only owner
// and let go of it while it is told, as a dismissing screen does.
class MailDelegateRecorder : public NSObject {
    QX_OBJECT(MailDelegateRecorder, NSObject)
public:
    void mailComposeControllerDidFinishWithResultError(MFMailComposeViewController* controller, NSInteger result, id error)
    {
        results.push_back(result);
        toldByHeldForm = controller == heldForm.get() && !error;
        heldForm = nullptr;
    }

    std::vector<NSInteger> results;
    bool toldByHeldForm = false;
    Ref<MFMailComposeViewController> heldForm;

protected:
    MailDelegateRecorder() = default;
};

QX_DEFINE_CLASS(MailDelegateRecorder)
{
    b.method<&MailDelegateRecorder::mailComposeControllerDidFinishWithResultError>("mailComposeController:didFinishWithResult:error:");
}

namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

// PATH is one folder, empty until a stand-in mail program is put there. The
// stand-in writes its arguments, each ended by a NUL, to `argv` and its
// process id to `pid` (each whole, by a rename).
class MailProgramTest : public testing::Test {
protected:
    void SetUp() override { environment_.set("PATH", bin_.path()); }

    void installMailProgram(const std::string& afterRecording = {}, mode_t mode = 0755)
    {
        const std::string script = bin_ / "xdg-email";
        auto record = [this](const std::string& command, const std::string& file) {
            return command + " > '" + (bin_ / "tmp") + "' && mv '" + (bin_ / "tmp") + "' '" + (bin_ / file) + "'\n";
        };
        std::ofstream(script) << "#!/bin/sh\nPATH=/usr/bin:/bin\n" << record("echo $$", "pid") << record("printf '%s\\0' \"$@\"", "argv") << afterRecording;
        ::chmod(script.c_str(), mode);
    }

    // The stand-in's record, waited for within a bound.
    std::optional<std::string> waitForRecord(const std::string& name) const
    {
        for (auto waited = 0ms; waited < 10s; waited += 20ms) {
            if (std::ifstream in(bin_ / name, std::ios::binary); in)
                return std::string(std::istreambuf_iterator<char>(in), {});
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }
    Strings handedArguments() const
    {
        Strings arguments;
        std::string text = waitForRecord("argv").value_or("");
        for (size_t start = 0, end; (end = text.find('\0', start)) != std::string::npos; start = end + 1)
            arguments.push_back(text.substr(start, end - start));
        return arguments;
    }

    // A form prepared through messages, as the More screen prepares it, held only by the delegate.
    MFMailComposeViewController* makeForm(std::initializer_list<Ref<NSObject>> recipients, const char* subject, const char* body)
    {
        auto form = objc::create<MFMailComposeViewController>("init");
        auto list = NSArray::arrayWithObjects(recipients);
        auto subjectText = NSString::stringWithUTF8String(subject);
        auto bodyText = NSString::stringWithUTF8String(body);
        objc::send(form, "setToRecipients:", list.get());
        objc::send(form, "setSubject:", subjectText.get());
        objc::send(form, "setMessageBody:isHTML:", bodyText.get(), false);
        objc::send(form, "setMailComposeDelegate:", delegate_.get());
        delegate_->heldForm = form;
        return form;
    }
    static UINavigationItem* bar(MFMailComposeViewController* form) { return form->topViewController()->navigationItem(); }

    AutoreleasePool pool_;
    storetest::TemporaryDirectory bin_;
    storetest::EnvironmentGuard environment_;
    Ref<MailDelegateRecorder> delegate_ = make_object<MailDelegateRecorder>();
};

TEST_F(MailProgramTest, CanSendMailOnlyWithAnExecutableMailProgramOnPath)
{
    EXPECT_FALSE(MFMailComposeViewController::canSendMail());
    installMailProgram({}, 0644);
    EXPECT_FALSE(MFMailComposeViewController::canSendMail());
    installMailProgram();
    EXPECT_TRUE(objc::sendClass<bool>(MFMailComposeViewController::objcClass(), "canSendMail"));
}

TEST_F(MailProgramTest, SendTappedHandsRecipientsSubjectAndBodyToTheMailProgramAndTellsTheDelegate)
{
    installMailProgram();
    const char* body = "\n\n/* Generated for debugging. */\niPhone6,1, 7.0, 2.0.1";
    MFMailComposeViewController* form = makeForm({ "dev@example.org"_ns, "second@example.org"_ns }, "Feedback", body);
    Strings shown;
    for (const auto& view : form->topViewController()->view()->subviews()) {
        if (auto* label = objc_cast<UILabel>(view.get()))
            shown.push_back(label->text()->str());
        else if (auto* text = objc_cast<UITextView>(view.get()))
            shown.push_back(text->text()->str());
    }
    EXPECT_EQ(shown, (Strings { "To: dev@example.org, second@example.org", "Subject: Feedback", body }));
    const size_t sentBefore = MFMailComposeViewController::sentMails().size();

    // The delegate lets go of the form, and with it the screen whose button runs.
    UIBarButtonItem* send = bar(form)->rightBarButtonItem();
    ASSERT_EQ(send->visibleText(), "Send");
    send->tap();

    EXPECT_EQ(handedArguments(), (Strings { "--subject", "Feedback", "--body", body, "dev@example.org", "second@example.org" }));
    EXPECT_EQ(delegate_->results, std::vector<NSInteger> { MFMailComposeResultSent });
    EXPECT_TRUE(delegate_->toldByHeldForm);
    const auto& sent = MFMailComposeViewController::sentMails();
    ASSERT_EQ(sent.size(), sentBefore + 1);
    EXPECT_EQ(sent.back().recipients, (Strings { "dev@example.org", "second@example.org" }));
    EXPECT_EQ(sent.back().body, body);
    EXPECT_TRUE(sent.back().handedToMailProgram);
    // Started as an orphan: nothing is left for this process to reap.
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

// As a person meets the form: its lines set in from the screen's edges, the
// body as written, line breaks and all, and editable; what they typed is
// what the mail program gets.
TEST_F(MailProgramTest, ThePersonEditsTheBodyAndTheirTextIsSent)
{
    installMailProgram();
    const char* body = "\n\n/* Delete the following line. */\niPhone6,1, 7.0, 2.0.1";
    Ref<MFMailComposeViewController> form = makeForm({ "dev@example.org"_ns }, "Feedback", body);
    auto* app = UIApplication::sharedApplication();
    app->reset();
    app->setRootViewController(form);
    UIDriver driver;

    const UISnapshot shot = driver.snapshot();
    ASSERT_FALSE(shot.layers().empty());
    std::vector<const UIElement*> texts;
    std::function<void(const UIElement&)> walk = [&](const UIElement& element) {
        if (element.role == "label" || element.role == "textView")
            texts.push_back(&element);
        for (const auto& child : element.children)
            walk(child);
    };
    walk(shot.layers().back());
    ASSERT_EQ(texts.size(), 3u);
    for (const UIElement* text : texts) {
        SCOPED_TRACE(text->text);
        const double left = text->frame.origin.x + (text->state.contains("insets") ? text->state["insets"]["left"].get<double>() : 0);
        EXPECT_GE(left, 15) << "the text is set in from the screen's left edge";
    }
    EXPECT_EQ(texts[2]->role, "textView");
    EXPECT_EQ(texts[2]->text, body) << "the body keeps its line breaks";
    EXPECT_EQ(texts[2]->state["editable"], true);

    driver.type("Looks good.\n\niPhone6,1, 7.0, 2.0.1");
    driver.tap("Send");
    EXPECT_EQ(handedArguments(), (Strings { "--subject", "Feedback", "--body", "Looks good.\n\niPhone6,1, 7.0, 2.0.1", "dev@example.org" }));
    app->reset();
}

TEST_F(MailProgramTest, LeavesOutAddressesTheMailProgramWouldReadAsOptionsOrQueries)
{
    installMailProgram();
    makeForm({ "--attach=/etc/passwd"_ns, "dev@example.org"_ns, NSNumber::numberWithInt(7), "x@example.org?attach=/etc/passwd"_ns,
                 "two words@example.org"_ns, ""_ns },
        "", "")
        ->send();
    EXPECT_EQ(handedArguments(), (Strings { "--subject", "", "--body", "", "dev@example.org" }));
}

TEST_F(MailProgramTest, SendReturnsAtOnceWhileTheMailProgramHangs)
{
    installMailProgram("exec sleep 30\n");
    MFMailComposeViewController* form = makeForm({ "dev@example.org"_ns }, "Feedback", "body");

    const auto start = std::chrono::steady_clock::now();
    form->send();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(delegate_->results, std::vector<NSInteger> { MFMailComposeResultSent });

    // The stand-in now sleeps as the process it wrote down; it is ended here.
    if (auto pid = waitForRecord("pid"); pid && std::stoi(*pid) > 1)
        ::kill(std::stoi(*pid), SIGTERM);
}

TEST_F(MailProgramTest, CancelTellsTheDelegateAndNothingIsSentAfterwards)
{
    installMailProgram();
    Ref<MFMailComposeViewController> form = makeForm({ "dev@example.org"_ns }, "Feedback", "body");
    const size_t sentBefore = MFMailComposeViewController::sentMails().size();

    UIBarButtonItem* cancel = bar(form)->leftBarButtonItem();
    ASSERT_EQ(cancel->visibleText(), "Cancel");
    cancel->tap();
    form->send();

    EXPECT_EQ(delegate_->results, std::vector<NSInteger> { MFMailComposeResultCancelled });
    EXPECT_EQ(MFMailComposeViewController::sentMails().size(), sentBefore);
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(std::ifstream(bin_ / "argv"));
}

} // namespace
