// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stamp_settings.h"

#include <QString>

#include <functional>

class Canvas;
class ConverterProgress;
class DecodeAhead;
class Dialogs;
class ErrorTrap;
class PhotoFacts;

// The stamp text of one source from the facts its metadata holds ({taken}, {exif:...}).
using SourceTextFunction = std::function<QString(const PhotoFacts&)>;

// The road of one list entry from its source file to its stamped copy, step by step, each
// step a labelled statement of the caller's error trap: a failing step is reported there and
// the road goes on or stops exactly where the "Start Stamping" handler always has. The
// source's metadata is read once, first (ReadSourceMetadata): the stamp text's facts come
// from it and every writer puts it, corrected for the copy, into the copy.
//
//   138 the path to load is the source      160 load (decoded ahead when still valid)
//   140 PNG/TIFF? 142 temporary folder      162 draw the stamp text
//   144..158 convert the source to JPEG     164..168 the output path
//   170 JPEG? 172 encode with metadata      176 bitmap (under a temporary name unless BMP/WMF)
//   178 BMP/WMF done                        180..184 converter and its command line
//   194 PNG: clear StampTmp.jpg             206 convert, keep metadata, take the output name
//   208 remove the converter
struct EntryRoad {
    // This road's own canvas, its font and colour already set (ApplyStampFont). Never shared
    // between roads that run at the same time.
    Canvas& canvas;
    // Where the overlay step reports a failing part of its own.
    Dialogs& dialogs;
    // The converter's waits show here.
    ConverterProgress& progress;
    // The private temporary folder the converter runs from; throws VbError when unusable.
    // Roads that run at the same time each need a folder of their own.
    std::function<QString()> tempFolder;
    // The settings, read at each step that uses one (the window reads its controls then).
    std::function<StampSettings()> settings;
    // The number of entries of the run, read when the converter starts (its progress share).
    std::function<int()> fileCount;
    // Pictures decoded ahead; null to read every file at its load step.
    DecodeAhead* ahead = nullptr;
    // The source's stamp text made from its facts, in place of settings().text; called
    // once, before the picture is converted or loaded. Empty: the settings' text (the
    // window puts each entry's text there itself).
    SourceTextFunction sourceText = {};
};

// Runs the road of `source` under `trap` (labels 138 to 208).
void StampSourceSteps(ErrorTrap& trap, const EntryRoad& road, const QString& source);
