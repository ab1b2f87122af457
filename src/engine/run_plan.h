// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <vector>

// One picture of a run's list: its path (PathText carries any bytes) and, when a folder
// scan found it, the folder the user named, below which it lies.
struct RunSource {
    QString path;
    QString root;  // "" for a file named itself
};

// What a run does with one source, decided before the first picture.
enum class CopyAction {
    Stamp,
    // The copy is there already (skip-existing): a regular file of the user's own.
    SkipExisting,
    // A later source of the list makes the same copy, so this one's would be lost.
    Clash,
};

struct PlannedCopy {
    int index = 0;   // the source's place in the list, from 0
    QString output;  // the copy's path
    CopyAction action = CopyAction::Stamp;
    int clashWith = -1;           // for Clash: the later source that makes the same copy
    bool replacesSource = false;  // the copy would stand where its own source stands
};

struct RunPlanChoices {
    // The folder the copies go into; never empty (a path built from "" names the root).
    QString outputFolder;
    bool skipExisting = false;
    // Each copy keeps its source's folders below the folder the user named.
    bool mirror = false;
};

// The copies of a list, one per source in list order: where each goes (under its source's
// file name, below its mirrored folders with `mirror`), which are there already, which
// clash with a later source, which would replace their own source.
std::vector<PlannedCopy> PlanRun(const std::vector<RunSource>& sources,
                                 const RunPlanChoices& choices);

// The folders below the output folder a mirrored copy needs ("" for none), for a plan's
// output path.
QString MirroredFolder(const RunSource& source);

// True when a finished copy stands at the path: a regular file of the user (after a link of
// the user's own). A link of another user, a dangling link or anything else is not one.
bool IsFinishedCopy(const QString& path);
