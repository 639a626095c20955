#pragma once
// The shared helpers of every subsystem: fields, compare and match, files,
// the wait.

#include "foundation/binary_files.h"
#include "foundation/fields.h"
#include "foundation/text_match.h"
#include "foundation/wait.h"
