// SPDX-License-Identifier: MIT
#pragma once

// Keys of the per-user settings store.
namespace key {
inline constexpr char kCombo1[] = "Combo1";
inline constexpr char kPosition[] = "Position";
inline constexpr char kFontColor[] = "Font Color";
inline constexpr char kFontName[] = "FontName";
inline constexpr char kFontBold[] = "FontBold";
inline constexpr char kFontItalic[] = "FontItalic";
inline constexpr char kFontSize[] = "FontSize";
// Read under this spelling, written by the font dialog as "FontStrikethru"; the store
// ignores letter case, so both name one entry.
inline constexpr char kFontStrikeThruRead[] = "FontStrikeThru";
inline constexpr char kFontStrikethruWrite[] = "FontStrikethru";
inline constexpr char kFontUnderLineRead[] = "FontUnderLine";
inline constexpr char kFontUnderlineWrite[] = "FontUnderline";
inline constexpr char kSlider1[] = "Slider1";
inline constexpr char kOutputFolder[] = "Output Folder";
inline constexpr char kLastFolderDot[] = "LastFolderDot";
inline constexpr char kLastFolder[] = "LastFolder";
inline constexpr char kExtension[] = "Extension";
inline constexpr char kSampleList[] = "SampleList";
}  // namespace key
