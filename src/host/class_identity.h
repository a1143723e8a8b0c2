#pragma once

#include <string_view>

namespace oq::identity {

// The component's identity, as a host that registers and creates it knows it.
inline constexpr std::string_view kTypeLibraryName = "oQUARDELINO";
inline constexpr std::string_view kTypeLibraryId = "{007D3885-642C-474F-A167-655A5E4077DC}";
inline constexpr int kTypeLibraryMajor = 1;
inline constexpr int kTypeLibraryMinor = 0;
inline constexpr std::string_view kInterfaceName = "_cMAIN";
inline constexpr std::string_view kInterfaceId = "{A5F12231-28CC-42EC-99DB-4E9D023D7894}";
inline constexpr std::string_view kClassName = "cMAIN";
inline constexpr std::string_view kClassId = "{F0BEC779-FF07-4CC0-BA67-74DAC1C1954D}";
inline constexpr std::string_view kProgId = "oQUARDELINO.cMAIN";
inline constexpr std::string_view kThreadingModel = "Apartment";

// The application title message boxes show when they are given none.
inline constexpr std::string_view kApplicationTitle = "oQUARDELINO";

// The component's file version 1.1.0.23: major, minor, revision.
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 1;
inline constexpr int kVersionRevision = 23;

// The registered names of the host's in-house components the copy engine creates.
inline constexpr std::string_view kDataAccessManagerProgId = "DataAccessManager.DAMMain";
inline constexpr std::string_view kFormatProgId = "cFORMAT.Main";

}  // namespace oq::identity
