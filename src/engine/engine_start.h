// SPDX-License-Identifier: MIT
#pragma once

// Sets up what every program of the engine needs before its first picture: the picture
// limit (1024 MB of decoded pixels, with the decoders' buffers), and the metadata library
// (its log silenced, its XMP parser made safe for several threads, and its reading of the
// HEIF family switched on: HEIC, HEIF, AVIF and JPEG XL in a container). Call it once on
// the main thread before any picture is read or any stamping thread starts; calling it
// again changes nothing.
void StartEngine();
