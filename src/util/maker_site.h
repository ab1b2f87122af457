// SPDX-License-Identifier: MIT
#pragma once

class Dialogs;
struct Environment;

inline constexpr char kMakerSiteAddress[] = "https://velloran.org/";

// One start in a hundred opens the maker's web site.
void MaybeOpenMakerSite(const Environment& env, Dialogs& dialogs);
