#pragma once
// The factory's list: each tool's file makes its tool.

#include <memory>

namespace kal {
class Tool;
namespace tools {
std::unique_ptr<Tool> MakePen();
std::unique_ptr<Tool> MakeMarker();
std::unique_ptr<Tool> MakeRectangle();
std::unique_ptr<Tool> MakeEllipse();
std::unique_ptr<Tool> MakeLine();
std::unique_ptr<Tool> MakeArrow();
std::unique_ptr<Tool> MakeText();
std::unique_ptr<Tool> MakeMark();
std::unique_ptr<Tool> MakeEraser();
}  // namespace tools
}  // namespace kal
