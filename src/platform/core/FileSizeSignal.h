#pragma once
// A write past the process's file-size limit (RLIMIT_FSIZE) raises SIGXFSZ,
// which by default ends the program on the spot and leaves any temporary file
// behind. Ignored, the write fails with EFBIG instead, and the ordinary error
// path reports it and cleans up. Called once at program start.
void IgnoreFileSizeSignal();
