#include "foundation/NSArray.h"
#include "foundation/NSNumber.h"
#include "foundation/NSString.h"
#include "messageui/MFMailComposeViewController.h"
#include "platform/StoreTestSupport.h"
#include "runtime/AutoreleasePool.h"
#include "uikit/UIBarButtonItem.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

// Hears how the mail form finished. It may hold the form as the only
// owner and let go of it while it is told, as a dismissing screen does.
class MailDelegateRecorder : public NSObject {
    QX_OBJECT(MailDelegateRecorder, NSObject)
public:
    void mailComposeControllerDidFinishWithResultError(MFMailComposeViewController* controller, NSInteger result, id error)
    {
        results.push_back(result);
        toldBy = controller;
        errorWasNil = error == nullptr;
        heldForm = nullptr;
    }

    std::vector<NSInteger> results;
    const MFMailComposeViewController* toldBy = nullptr;
    bool errorWasNil = false;
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

// A folder first on PATH that holds a recording stand-in for the mail
// program: it writes its arguments, each ended by a NUL, to `argv` (whole,
// by a rename) and its process id to `pid`.
class MailProgramTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(bin_.path().empty());
        const char* path = std::getenv("PATH");
        environment_.set("PATH", bin_.path() + ":" + (path ? path : "/usr/bin:/bin"));
    }

    void installMailProgram(const std::string& afterRecording = {}, mode_t mode = 0755)
    {
        const std::string script = bin_ / "xdg-email";
        std::ofstream(script) << "#!/bin/sh\n"
                              << "echo $$ > '" << (bin_ / "pid.tmp") << "' && mv '" << (bin_ / "pid.tmp") << "' '" << pidFile() << "'\n"
                              << "printf '%s\\0' \"$@\" > '" << (bin_ / "argv.tmp") << "' && mv '" << (bin_ / "argv.tmp") << "' '"
                              << argvFile() << "'\n"
                              << afterRecording;
        ::chmod(script.c_str(), mode);
    }

    std::string argvFile() const { return bin_ / "argv"; }
    std::string pidFile() const { return bin_ / "pid"; }

    // Waits, boundedly, for the stand-in to write a file.
    static std::optional<std::string> waitForFile(const std::string& path)
    {
        for (auto waited = 0ms; waited < 10s; waited += 20ms) {
            if (std::filesystem::exists(path)) {
                std::ifstream in(path, std::ios::binary);
                return std::string(std::istreambuf_iterator<char>(in), {});
            }
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }

    static std::vector<std::string> splitArguments(const std::string& text)
    {
        std::vector<std::string> arguments;
        size_t start = 0;
        for (size_t end; (end = text.find('\0', start)) != std::string::npos; start = end + 1)
            arguments.push_back(text.substr(start, end - start));
        return arguments;
    }

    static Ref<MFMailComposeViewController> makeForm(std::initializer_list<Ref<NSObject>> recipients, const char* subject, const char* body)
    {
        auto form = objc::create<MFMailComposeViewController>("init");
        auto list = NSArray::arrayWithObjects(recipients);
        auto subjectText = NSString::stringWithUTF8String(subject);
        auto bodyText = NSString::stringWithUTF8String(body);
        objc::send(form, "setToRecipients:", list.get());
        objc::send(form, "setSubject:", subjectText.get());
        objc::send(form, "setMessageBody:isHTML:", bodyText.get(), false);
        return form;
    }

    static UIBarButtonItem* barItem(MFMailComposeViewController* form, bool right)
    {
        UINavigationItem* item = form->topViewController()->navigationItem();
        return right ? item->rightBarButtonItem() : item->leftBarButtonItem();
    }

    storetest::TemporaryDirectory bin_;
    storetest::EnvironmentGuard environment_;
};

TEST_F(MailProgramTest, CanSendMailOnlyWithAnExecutableMailProgramOnPath)
{
    AutoreleasePool pool;
    storetest::TemporaryDirectory empty;
    struct Case {
        const char* what;
        bool install;
        mode_t mode;
        bool expected;
    };
    const Case cases[] = {
        { "no mail program", false, 0, false },
        { "a mail program that cannot run", true, 0644, false },
        { "a mail program", true, 0755, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.install)
            installMailProgram({}, c.mode);
        environment_.set("PATH", (c.install ? bin_.path() : empty.path()) + ":/usr/bin:/bin");
        EXPECT_EQ(MFMailComposeViewController::canSendMail(), c.expected);
        EXPECT_EQ(objc::sendClass<bool>(MFMailComposeViewController::objcClass(), "canSendMail"), c.expected);
    }
}

TEST_F(MailProgramTest, SendHandsRecipientsSubjectAndBodyToTheMailProgram)
{
    AutoreleasePool pool;
    installMailProgram();
    const char* body = "\n\n\n\n/* Generated for debugging. */\niPhone6,1, 7.0, 2.0.1";
    auto form = makeForm({ "dev@example.org"_ns, "second@example.org"_ns }, "Feedback", body);
    auto delegate = make_object<MailDelegateRecorder>();
    objc::send(form, "setMailComposeDelegate:", delegate.get());
    const size_t sentBefore = MFMailComposeViewController::sentMails().size();

    UIBarButtonItem* send = barItem(form, true);
    ASSERT_NE(send, nullptr);
    EXPECT_EQ(send->visibleText(), "Send");
    send->tap();

    auto written = waitForFile(argvFile());
    ASSERT_TRUE(written) << "the mail program was not started";
    const std::vector<std::string> expected { "--subject", "Feedback", "--body", body, "dev@example.org", "second@example.org" };
    EXPECT_EQ(splitArguments(*written), expected);
    EXPECT_EQ(delegate->results, std::vector<NSInteger> { MFMailComposeResultSent });
    EXPECT_EQ(delegate->toldBy, form.get());
    EXPECT_TRUE(delegate->errorWasNil);

    const auto& sent = MFMailComposeViewController::sentMails();
    ASSERT_EQ(sent.size(), sentBefore + 1);
    EXPECT_EQ(sent.back().recipients, (std::vector<std::string> { "dev@example.org", "second@example.org" }));
    EXPECT_EQ(sent.back().subject, "Feedback");
    EXPECT_EQ(sent.back().body, body);
    EXPECT_FALSE(sent.back().isHTML);
    EXPECT_TRUE(sent.back().handedToMailProgram);

    // Started as an orphan: nothing is left for this process to reap.
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    // A second tap sends nothing more.
    send->tap();
    EXPECT_EQ(MFMailComposeViewController::sentMails().size(), sentBefore + 1);
    EXPECT_EQ(delegate->results.size(), 1u);
}

TEST_F(MailProgramTest, LeavesOutAddressesTheMailProgramWouldReadAsOptionsOrQueries)
{
    AutoreleasePool pool;
    installMailProgram();
    auto form = makeForm({ "--attach=/etc/passwd"_ns, "dev@example.org"_ns, NSNumber::numberWithInt(7), "x@example.org?attach=/etc/passwd"_ns,
                             "two words@example.org"_ns, ""_ns },
        "", "");

    form->send();

    auto written = waitForFile(argvFile());
    ASSERT_TRUE(written);
    const std::vector<std::string> expected { "--subject", "", "--body", "", "dev@example.org" };
    EXPECT_EQ(splitArguments(*written), expected);
}

TEST_F(MailProgramTest, SendReturnsAtOnceWhileTheMailProgramHangs)
{
    AutoreleasePool pool;
    installMailProgram("exec sleep 30\n");
    auto form = makeForm({ "dev@example.org"_ns }, "Feedback", "body");
    auto delegate = make_object<MailDelegateRecorder>();
    form->setMailComposeDelegate(delegate);

    const auto start = std::chrono::steady_clock::now();
    form->send();
    const auto took = std::chrono::steady_clock::now() - start;

    EXPECT_LT(took, 5s);
    EXPECT_EQ(delegate->results, std::vector<NSInteger> { MFMailComposeResultSent });
    EXPECT_TRUE(waitForFile(argvFile()));
    // The stand-in now sleeps as the process it wrote down; it is ended here.
    if (auto pid = waitForFile(pidFile()); pid && std::stoi(*pid) > 1)
        ::kill(std::stoi(*pid), SIGTERM);
}

TEST_F(MailProgramTest, CancelTellsTheDelegateAndSendsNothing)
{
    AutoreleasePool pool;
    installMailProgram();
    auto form = makeForm({ "dev@example.org"_ns }, "Feedback", "body");
    auto delegate = make_object<MailDelegateRecorder>();
    form->setMailComposeDelegate(delegate);
    const size_t sentBefore = MFMailComposeViewController::sentMails().size();

    UIBarButtonItem* cancel = barItem(form, false);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->visibleText(), "Cancel");
    cancel->tap();
    form->send();

    EXPECT_EQ(delegate->results, std::vector<NSInteger> { MFMailComposeResultCancelled });
    EXPECT_EQ(MFMailComposeViewController::sentMails().size(), sentBefore);
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(std::filesystem::exists(argvFile()));
}

TEST_F(MailProgramTest, TheDelegateMayLetGoOfTheFormWhileItIsTold)
{
    AutoreleasePool pool;
    installMailProgram();
    auto delegate = make_object<MailDelegateRecorder>();
    {
        auto form = makeForm({ "dev@example.org"_ns }, "Feedback", "body");
        form->setMailComposeDelegate(delegate);
        delegate->heldForm = form;
    }
    // Send is tapped on the form's own screen, which goes with the form.
    barItem(delegate->heldForm, true)->tap();

    EXPECT_EQ(delegate->results, std::vector<NSInteger> { MFMailComposeResultSent });
    EXPECT_EQ(delegate->heldForm, nullptr);
    EXPECT_TRUE(waitForFile(argvFile()));
}

} // namespace
