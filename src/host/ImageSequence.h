// Image sequences: a pattern with one frame number (frames/%04d.png) names one PNG, PPM
// or PAM file per frame. Reading and writing keep the pixels exact: 8-bit RGB, with the
// alpha channel kept in PAM files.
#pragma once

#include <memory>
#include <string>

#include "FrameSource.h"
#include "OutputFiles.h"

namespace host {

enum class ImageKind { None, Png, Ppm, Pam };

// The kind of an image file by its extension (any case).
ImageKind ImageKindOf(const std::string& path);
// True when `path` holds exactly one frame-number directive (%d or %0Nd, N < 10); other
// percent signs must be written %%.
bool IsSequencePattern(const std::string& path);
// True when `path` holds a directive like %d, %010d or %x (not %%): it is meant as a
// pattern, valid or not. A lone percent sign ("100%.mp4") is part of a name.
bool LooksLikePattern(const std::string& path);
// The file of frame `number`: the pattern with its directive replaced, %% made %.
std::string SequenceFileName(const std::string& pattern, int number);

// The frames of a sequence: numbered on from `startNumber` (below 0: the first of 0 to 4
// that exists), for as long as the numbers follow without a gap. Null with "PATTERN: ..."
// when none exists.
std::unique_ptr<FrameSource> OpenImageSequence(const std::string& pattern, FrameRateRatio frameRate, int startNumber,
                                               std::string* error);

// Writes frame i as the pattern's file for startNumber + i; nothing is renamed into place
// before Finish.
std::unique_ptr<OutputSink> OpenSequenceWriter(const std::string& pattern, int startNumber, std::string* error);

// Writes the world as the kind of `kind` to `path` as it is (no temporary name).
bool WriteImageFile(GWorldPtr world, ImageKind kind, const std::string& path, std::string* error);

}  // namespace host
