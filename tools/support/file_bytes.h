// Reads what a CFileImpl holds from its current position to its end.
#pragma once

#include <string>

#include "framework/file/file_impl.h"

// Up to Size() bytes; fewer when the file ends early.
std::string ReadAllOf(CFileImpl& file);
