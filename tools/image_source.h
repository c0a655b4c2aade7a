// Decoding of texture images for the packer: PNG of any colour type to RGBA8.
#pragma once

#include <string>
#include <vector>

#include "pack_content.h"

// Decodes the PNG image in bytes (read from label) into texture's size and
// pixels. Refuses images wider or taller than 65535 before decoding them.
bool decodePng(const std::vector<unsigned char>& bytes, const std::string& label,
               PackTexture& texture, std::string& error);
