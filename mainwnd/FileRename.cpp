#include "mainwnd/FileRename.h"

#include <cerrno>
#include <cstring>

#include "platform/FileOps.h"

namespace kal {
namespace {

std::string Trimmed(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

}  // namespace

bool RenameListedFile(const std::string& path, const std::string& typed, std::string& newPath,
                      std::string& error) {
  std::string name = Trimmed(typed);
  if (name.empty()) {
    error = "请输入新的文件名!";
    return false;
  }
  if (name.find('/') != std::string::npos || name == "." || name == "..") {
    error = "文件名不能包含“/”";
    return false;
  }
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
  const std::string old = path.substr(slash + 1);
  if (name.find('.') == std::string::npos && old.rfind('.') != std::string::npos)
    name += old.substr(old.rfind('.'));
  const std::string target = folder + "/" + name;
  if (target == path) {
    newPath = path;
    return true;
  }
  if (!platform::RenameNoReplace(path, target)) {
    error = errno == EEXIST ? "已有同名文件：" + name : std::string("重命名失败：") + std::strerror(errno);
    return false;
  }
  newPath = target;
  return true;
}

}  // namespace kal
