// What the Settings of each version of Windows offer a browser.
#include "platform/windows_version.h"

#include <limits>

namespace platform {

namespace {

constexpr std::uint32_t kEveryBuild = std::numeric_limits<std::uint32_t>::max();

// Builds of Windows 10.0 from fromBuild up to, not including, untilBuild,
// with at least fromRevision as their update revision; the first row that
// holds a version decides.
struct PageRow {
    std::uint32_t fromBuild;
    std::uint32_t untilBuild;
    std::uint32_t fromRevision;  // 0: any
    DefaultAppsPage page;
};
constexpr PageRow kPages[] = {
    {22000, 22001, 1817, DefaultAppsPage::ClientPage},  // 21H2, 2023-04 update
    {22621, 22622, 1555, DefaultAppsPage::ClientPage},  // 22H2, 2023-04 update
    {22631, kEveryBuild, 0, DefaultAppsPage::ClientPage},  // 23H2 and later
    {22000, kEveryBuild, 0, DefaultAppsPage::GeneralWithAppList},
    {0, kEveryBuild, 0, DefaultAppsPage::GeneralWithWebBrowser},
};

}  // namespace

DefaultAppsPage DefaultAppsPageOf(const WindowsVersion& version,
                                  const std::function<std::uint32_t()>& revision) {
    if (version.major > 10) {
        return DefaultAppsPage::ClientPage;
    }
    if (version.major < 10) {
        return DefaultAppsPage::ControlPanel;
    }
    for (const PageRow& row : kPages) {
        if (version.build >= row.fromBuild && version.build < row.untilBuild &&
            (row.fromRevision == 0 || revision() >= row.fromRevision)) {
            return row.page;
        }
    }
    return DefaultAppsPage::GeneralWithWebBrowser;
}

}  // namespace platform
