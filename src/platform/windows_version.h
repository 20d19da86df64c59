// Which Windows runs, and what its Settings offer a browser. The rules are
// pure, so that each version is tested on Linux.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// The version RtlGetVersion reports, whatever the exe's manifest says;
// zeros when it could not be told. Windows 11 reports 10.0 with a build from
// 22000 on.
struct WindowsVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
};

// What Settings > Default apps offers for a registered client.
enum class DefaultAppsPage {
    // Before Windows 10 (or a version not known): no Default apps page in
    // Settings for it; Control Panel's Default Programs shows the client.
    ControlPanel,
    // Windows 10: the general page, where the browser is chosen under Web
    // browser.
    GeneralWithWebBrowser,
    // Windows 11 before its 2023-04 update: the general page, with the
    // client in its list of apps.
    GeneralWithAppList,
    // The client's own page (ms-settings:defaultapps?registeredAppUser=).
    ClientPage,
};

// The page of version ("Launch the Default Apps settings page": the client's
// own page from Windows 11 21H2 and 22H2 with the 2023-04 update, builds
// 22000.1817 and 22621.1555, and in every build from 23H2, 22631, on).
// revision gives the update build revision (UBR); it is asked only for the
// builds where the page came with an update.
DefaultAppsPage DefaultAppsPageOf(const WindowsVersion& version,
                                  const std::function<std::uint32_t()>& revision);

}  // namespace platform
