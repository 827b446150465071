#pragma once

// The plug-in's version as the host reads it (effGetVendorVersion) and the About box shows it:
// 1030 reads v.1.0.3.

namespace vorpalix {

inline constexpr int kVendorVersion = 1030;

} // namespace vorpalix
