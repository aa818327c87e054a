#include "screens/QXMoreViewController.h"

#include "foundation/NSDictionary.h"
#include "messageui/MFMailComposeViewController.h"
#include "screens/ReusableCell.h"
#include "settings/Quorix.h"
#include "uikit/UIApplication.h"
#include "util/DeviceIdiom.h"
#include "util/Localization.h"
#include "util/UIDevice+ZELExtension.h"

namespace {

constexpr CGSize kPopoverSize { 400, 550 };
constexpr double kMinimumSwitchTitleFontSize = 15.0;
constexpr double kMinimumCreditFontSize = 10.0;

enum DeveloperRow : NSInteger {
    DeveloperRowName = 0,
    DeveloperRowContact = 1,
};

// Made-up placeholder names: the credits of each translation.
struct Translation {
    const char* language; // the language's own name, never translated
    const char* credit;
};
constexpr Translation kTranslations[] = {
    { "English", QXMoreViewController::developerName },
    { "简体中文", QXMoreViewController::developerName },
    { "繁體中文", QXMoreViewController::developerName },
    { "Deutsch", "Dana Beispiel" },
    { "Italiano", "Marta Esempio" },
    { "日本語", "例田 花子" },
    { "한국의", "김예시" },
    { "Türkçe", "Deniz Örnek" },
};

// The switch rows: each section's one row and the store's setting it shows
// and sets. A switch's tag is its section.
struct SwitchRow {
    NSInteger section;
    const char* title; // localized
    const char* getter;
    const char* setter;
};
constexpr SwitchRow kSwitchRows[] = {
    { QXMoreViewController::SectionMapsApp, "Search Location", "mapsAppQueryLocationEnabled", "setMapsAppQueryLocationEnabled:" },
    { QXMoreViewController::SectionTimestamp, "Enabled", "stampEnabled", "setStampEnabled:" },
};

const SwitchRow* switchRowFor(NSInteger section)
{
    for (const auto& row : kSwitchRows) {
        if (row.section == section)
            return &row;
    }
    return nullptr;
}

Ref<NSString> text(const char* utf8) { return NSString::stringWithUTF8String(utf8); }

} // namespace

QX_DEFINE_CLASS(QXMoreViewController)
{
    b.ivar("_localizationList", "@\"NSArray\"", &QXMoreViewController::localizationList_);
    b.method<&QXMoreViewController::viewDidLoad>("viewDidLoad");
    b.method<&QXMoreViewController::setupLocalizationList>("setupLocalizationList");
    b.method<&QXMoreViewController::numberOfSectionsInTableView>("numberOfSectionsInTableView:");
    b.method<&QXMoreViewController::tableViewNumberOfRowsInSection>("tableView:numberOfRowsInSection:");
    b.method<&QXMoreViewController::tableViewCellForRowAtIndexPath>("tableView:cellForRowAtIndexPath:");
    b.method<&QXMoreViewController::normalTableViewCellForRowAtIndexPath>("normal_tableView:cellForRowAtIndexPath:");
    b.method<&QXMoreViewController::switchTableViewCellForRowAtIndexPath>("switch_tableView:cellForRowAtIndexPath:");
    b.method<&QXMoreViewController::style1TableViewCellForRowAtIndexPath>("style1_tableView:cellForRowAtIndexPath:");
    b.method<&QXMoreViewController::tableViewTitleForHeaderInSection>("tableView:titleForHeaderInSection:");
    b.method<&QXMoreViewController::tableViewTitleForFooterInSection>("tableView:titleForFooterInSection:");
    b.method<&QXMoreViewController::tableViewDidSelectRowAtIndexPath>("tableView:didSelectRowAtIndexPath:");
    b.method<&QXMoreViewController::switchValueDidChange>("switchValueDidChange:");
    b.method<&QXMoreViewController::sendMail>("sendMail");
    b.method<&QXMoreViewController::mailComposeControllerDidFinishWithResultError>("mailComposeController:didFinishWithResult:error:");
}

void QXMoreViewController::viewDidLoad()
{
    objc::sendSuper<void, QXMoreViewController>(this, "viewDidLoad");
    objc::send(objc::send<UINavigationItem*>(this, "navigationItem"), "setTitle:", QXLocalizedString("More"));
    if (QXDeviceIsPad())
        objc::send(this, "setContentSizeForViewInPopover:", kPopoverSize);
    objc::send(this, "setupLocalizationList");
}

void QXMoreViewController::setupLocalizationList()
{
    auto list = NSMutableArray::array();
    for (const auto& translation : kTranslations)
        list->addObject(NSDictionary::dictionaryWithObjectForKey(text(translation.credit).get(), translation.language));
    localizationList_ = NSArray::arrayWithArray(list.get());
}

NSInteger QXMoreViewController::tableViewNumberOfRowsInSection(UITableView*, NSInteger section) const
{
    switch (section) {
    case SectionMapsApp:
    case SectionTimestamp:
        return 1;
    case SectionDeveloper:
        return 2;
    case SectionLocalization:
        return localizationList_ ? static_cast<NSInteger>(localizationList_->count()) : 0;
    default:
        return 0;
    }
}

Ref<UITableViewCell> QXMoreViewController::tableViewCellForRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath)
{
    switch (indexPath->section()) {
    case SectionLocalization:
        return objc::send<Ref<UITableViewCell>>(this, "style1_tableView:cellForRowAtIndexPath:", tableView, indexPath);
    case SectionDeveloper:
        return objc::send<Ref<UITableViewCell>>(this, "normal_tableView:cellForRowAtIndexPath:", tableView, indexPath);
    case SectionMapsApp:
    case SectionTimestamp:
        return objc::send<Ref<UITableViewCell>>(this, "switch_tableView:cellForRowAtIndexPath:", tableView, indexPath);
    default:
        return nullptr;
    }
}

Ref<UITableViewCell> QXMoreViewController::normalTableViewCellForRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath)
{
    static const Ref<NSString> identifier = "Cell"_ns;
    auto cell = QXReusableCell(tableView, identifier, UITableViewCellStyleDefault, [](UITableViewCell* made) {
        made->setAccessoryType(UITableViewCellAccessoryNone);
        made->textLabel()->setTextAlignment(NSTextAlignmentCenter);
    });
    if (indexPath->row() == DeveloperRowName) {
        cell->textLabel()->setText(text(developerName).get());
        cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    } else if (indexPath->row() == DeveloperRowContact) {
        cell->textLabel()->setText(QXLocalizedString("Contact Me via Email").get());
        cell->setSelectionStyle(UITableViewCellSelectionStyleBlue);
    }
    return cell;
}

Ref<UITableViewCell> QXMoreViewController::switchTableViewCellForRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath)
{
    static const Ref<NSString> identifier = "SwitchCellIdentifier"_ns;
    auto cell = QXReusableCell(tableView, identifier, UITableViewCellStyleDefault, [this](UITableViewCell* made) {
        made->textLabel()->setAdjustsFontSizeToFitWidth(true);
        made->textLabel()->setMinimumFontSize(kMinimumSwitchTitleFontSize);
        // The switch is made with its cell, so its target is added once
        // however often the cell is reused.
        auto toggle = objc::create<UISwitch>("initWithFrame:", CGRect {});
        objc::send(toggle, "addTarget:action:forControlEvents:", this, SEL("switchValueDidChange:"), NSUInteger { UIControlEventValueChanged });
        made->setAccessoryView(toggle.get());
    });
    auto* toggle = objc_cast<UISwitch>(cell->accessoryView());
    objc::send(toggle, "setTag:", indexPath->section());
    if (const SwitchRow* row = switchRowFor(indexPath->section())) {
        cell->textLabel()->setText(QXLocalizedString(row->title).get());
        cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
        objc::send(toggle, "setOn:", objc::send<bool>(Quorix::sharedQuorix(), row->getter));
    }
    return cell;
}

Ref<UITableViewCell> QXMoreViewController::style1TableViewCellForRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath)
{
    static const Ref<NSString> identifier = "Style1CellIdentifier"_ns;
    auto cell = QXReusableCell(tableView, identifier, UITableViewCellStyleValue1, [](UITableViewCell* made) {
        made->detailTextLabel()->setAdjustsFontSizeToFitWidth(true);
        made->detailTextLabel()->setMinimumFontSize(kMinimumCreditFontSize);
    });
    const auto row = static_cast<size_t>(indexPath->row());
    if (!localizationList_ || indexPath->row() < 0 || row >= localizationList_->count())
        return cell;
    auto* entry = objc_cast<NSDictionary>(localizationList_->objectAtIndex(row));
    Ref<NSArray> keys = entry ? entry->allKeys() : nullptr;
    auto* language = keys && keys->count() > 0 ? objc_cast<NSString>(keys->objectAtIndex(0)) : nullptr;
    cell->textLabel()->setText(language);
    cell->detailTextLabel()->setText(language ? entry->objectOfClassForKey<NSString>(language->str()) : nullptr);
    return cell;
}

Ref<NSString> QXMoreViewController::tableViewTitleForHeaderInSection(UITableView*, NSInteger section) const
{
    switch (section) {
    case SectionMapsApp:
        return QXLocalizedString("Maps App");
    case SectionTimestamp:
        return QXLocalizedString("Timestamp");
    case SectionDeveloper:
        return QXLocalizedString("Developer");
    case SectionLocalization:
        return QXLocalizedString("Localization");
    default:
        return nullptr;
    }
}

Ref<NSString> QXMoreViewController::tableViewTitleForFooterInSection(UITableView*, NSInteger section) const
{
    if (section == SectionMapsApp)
        return QXLocalizedString("Search location when launching Maps app. Pin will be dropped automatically if search returns results for the location. Or you can manually drop pin there.");
    if (section == SectionLocalization)
        return NSString::stringWithFormat(QXLocalizedString("Version %@\nCopyright © 2026 Alex Example")->str(), text(versionText).get());
    return nullptr;
}

void QXMoreViewController::tableViewDidSelectRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath)
{
    objc::send(tableView, "deselectRowAtIndexPath:animated:", indexPath, true);
    if (indexPath->section() == SectionDeveloper && indexPath->row() == DeveloperRowContact)
        objc::send(this, "sendMail");
}

void QXMoreViewController::switchValueDidChange(UISwitch* sender)
{
    if (const SwitchRow* row = switchRowFor(objc::send<NSInteger>(sender, "tag")))
        objc::send(Quorix::sharedQuorix(), row->setter, objc::send<bool>(sender, "isOn"));
}

void QXMoreViewController::sendMail()
{
    if (!objc::sendClass<bool>(MFMailComposeViewController::objcClass(), "canSendMail")) {
        // The alert is the application's while it is shown.
        auto alert = objc::create<UIAlertView>("initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles:",
            QXLocalizedString("No Mail Accounts"), QXLocalizedString("Please setup a Mail account to send the mail."), this,
            QXLocalizedString("OK"), static_cast<id>(nullptr));
        objc::send(alert, "show");
        return;
    }

    UIDevice* device = QXCurrentDevice();
    auto model = objc::send<Ref<NSString>>(device, "detailModel");
    auto system = objc::send<Ref<NSString>>(device, "systemVersion");
    auto body = NSString::stringWithFormat(
        QXLocalizedString("\n\n\n\n/* Generated by Quorix for debugging purpose only. If you don't want to send the info, delete the following line. */\n%@, %@, %@")->str(),
        model.get(), system.get(), text(versionText).get());

    auto mail = objc::create<MFMailComposeViewController>("init");
    objc::send(mail, "setToRecipients:", NSArray::arrayWithObjects({ text(feedbackAddress) }));
    objc::send(mail, "setSubject:", QXLocalizedString("Feedback"));
    objc::send(mail, "setMessageBody:isHTML:", body, false);
    objc::send(mail, "setMailComposeDelegate:", this);

    // On a tablet this screen lives in the info popover, which closes first;
    // the form then covers the viewer, as this screen is no longer shown.
    UIViewController* presenter = this;
    if (QXDeviceIsPad()) {
        objc::send(Quorix::sharedQuorix()->popoverController(), "dismissPopoverAnimated:", true);
        if (UIViewController* root = UIApplication::sharedApplication()->rootViewController())
            presenter = root;
    }
    objc::send(presenter, "presentModalViewController:animated:", mail, true);
}

void QXMoreViewController::mailComposeControllerDidFinishWithResultError(UIViewController* controller, NSInteger, id)
{
    // Sent to the form, the dismissal reaches whichever screen presented it.
    objc::send(controller ? controller : static_cast<UIViewController*>(this), "dismissModalViewControllerAnimated:", true);
}
