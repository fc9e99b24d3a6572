#pragma once
namespace quillane::gfx {
}
