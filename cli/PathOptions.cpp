#include "cli/PathOptions.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <unistd.h>

namespace quorix::cli {

namespace {

// The most processes -j starts, and the most one per core gives.
constexpr int kMostJobs = 256;

} // namespace

std::vector<WalkItem> PathOptions::walk() const
{
    return walkPaths(paths, recursive ? FolderHandling::Walk : FolderHandling::Refuse);
}

int PathOptions::jobCount() const
{
    if (jobs > 0)
        return jobs;
    long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
    return cores > 0 ? static_cast<int>(std::min<long>(cores, kMostJobs)) : 1;
}

void addPathOptions(CLI::App& command, PathOptions& options, std::string_view verb)
{
    const std::string capital(verb);
    std::string lower = capital;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    command.add_flag("-r,--recursive", options.recursive, capital + " the files in folders and their subfolders, in name order.");
    command.add_option("-j,--jobs", options.jobs, capital + " files in N processes at once (default: one per core).")
        ->check(CLI::Range(1, kMostJobs))
        ->type_name("N");
    command.add_option("paths", options.paths, "The files to " + lower + ".")->required();
}

} // namespace quorix::cli
