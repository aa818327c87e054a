#include "cli/Listing.h"

#include "cli/Command.h"
#include "cli/DescriptionWorkers.h"
#include "cli/LocalizedText.h"
#include "cli/PathCheck.h"

#include <ostream>

namespace quorix::cli {

int describePaths(const std::vector<WalkItem>& items, Listing& listing, int jobs, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> describable;
    for (const auto& item : items) {
        if (item.error == 0)
            describable.push_back(item.path);
    }
    auto describe = [&listing](const std::string& path) { return listing.describe(path); };
    listing.start(out);
    // What is buffered goes out before the children are made, or each
    // would hold a copy of it.
    out.flush();
    auto workers = DescriptionWorkers::start(describable, jobs, describe);

    int status = ExitSuccess;
    for (const auto& item : items) {
        if (item.error != 0) {
            reportPathError(item.path, item.error, out, err);
            status = ExitFailure;
            continue;
        }
        std::optional<DescriptionWorkers::Description> received;
        if (workers)
            received = workers->next();
        const auto description = received ? std::move(*received) : describe(item.path);
        if (!description) {
            // The command describes photos. A file met in a folder that is
            // none is passed over, as a pipe or a socket there is.
            if (!item.inFolder) {
                reportPathError(item.path, localizedText("not an image"), out, err);
                status = ExitFailure;
            }
            continue;
        }
        listing.write(*description, out);
        // Each file's description goes out whole as soon as it is made.
        out.flush();
        // Output that cannot be written makes describing the rest pointless;
        // the caller reports why.
        if (!out)
            return status;
    }
    listing.finish(out);
    return status;
}

} // namespace quorix::cli
