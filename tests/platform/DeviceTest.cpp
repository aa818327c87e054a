#include "foundation/NSString.h"
#include "runtime/AutoreleasePool.h"
#include "uikit/UIDevice.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The device is process-wide: each test puts back what it found.
class DeviceTest : public testing::Test {
protected:
    void SetUp() override
    {
        AutoreleasePool pool;
        savedVersion_ = device_->systemVersion()->str();
        savedIdiom_ = device_->userInterfaceIdiom();
        savedAnswers_ = device_->answersUserInterfaceIdiom();
    }
    void TearDown() override
    {
        device_->setSystemVersion(savedVersion_);
        device_->setUserInterfaceIdiom(savedIdiom_);
        device_->setAnswersUserInterfaceIdiom(savedAnswers_);
    }

    UIDevice* device_ = UIDevice::currentDevice();

private:
    std::string savedVersion_;
    NSInteger savedIdiom_ = 0;
    bool savedAnswers_ = true;
};

TEST_F(DeviceTest, IsOneInstanceThatStartsAsAPhoneRunningSeven)
{
    AutoreleasePool pool;
    ASSERT_NE(device_, nullptr);
    EXPECT_EQ(device_, UIDevice::currentDevice());
    EXPECT_EQ(device_->systemVersion()->str(), "7.0");
    EXPECT_EQ(device_->userInterfaceIdiom(), UIUserInterfaceIdiomPhone);
    EXPECT_TRUE(device_->answersUserInterfaceIdiom());
    EXPECT_TRUE(device_->respondsToSelector("userInterfaceIdiom"));
}

TEST_F(DeviceTest, AnOlderDeviceDeniesAnsweringTheIdiomAndNothingElse)
{
    device_->setAnswersUserInterfaceIdiom(false);

    EXPECT_FALSE(device_->respondsToSelector("userInterfaceIdiom"));
    EXPECT_FALSE(objc::send<bool>(device_, "respondsToSelector:", SEL("userInterfaceIdiom")));
    EXPECT_TRUE(device_->respondsToSelector("systemVersion"));
    EXPECT_TRUE(device_->respondsToSelector("description"));
    EXPECT_FALSE(device_->respondsToSelector("makeCoffee"));

    device_->setAnswersUserInterfaceIdiom(true);
    EXPECT_TRUE(device_->respondsToSelector("userInterfaceIdiom"));
    EXPECT_FALSE(device_->respondsToSelector("makeCoffee"));
}

TEST_F(DeviceTest, NamesTheModelAfterTheIdiom)
{
    AutoreleasePool pool;
    struct Case {
        NSInteger idiom;
        const char* model;
    };
    const Case cases[] = { { UIUserInterfaceIdiomPhone, "iPhone" }, { UIUserInterfaceIdiomPad, "iPad" } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        device_->setUserInterfaceIdiom(c.idiom);
        auto* model = objc::send<NSString*>(device_, "model");
        ASSERT_NE(model, nullptr);
        EXPECT_EQ(model->str(), c.model);
    }
}

} // namespace
