// Saves a thumbnail bitmap as PNG through the Windows Imaging Component, the
// way the Shell reads it: a WTSAT_ARGB bitmap as premultiplied BGRA, scaled
// by WIC's scaler, written by WIC's PNG encoder with straight alpha.
#pragma once

#include <windows.h>
#include <thumbcache.h>

#include <string>

#include "Thumbnail.h"

namespace vantrel::host {

struct PixelSize {
    UINT width = 0;
    UINT height = 0;
};

// The size that fits width x height into edge x edge keeping its aspect,
// never larger than it is; no side drops below 1. edge 0 keeps the size.
PixelSize fitInside(PixelSize size, UINT edge);

// Writes the PNG beside path first and renames it into place, so a failure
// leaves nothing behind. COM must be initialised on the calling thread.
// written receives the size of the saved picture.
CallResult savePng(const ShellBitmap& thumbnail, UINT edge, const std::wstring& path, PixelSize& written);

}  // namespace vantrel::host
