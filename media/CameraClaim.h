#pragma once
// Which cameras this program holds open for its preview. A camera
// recording asks first, so it can say the camera is busy instead of
// failing on a device it cannot open twice. Any thread.

#include <string>

namespace kal {

void ClaimCamera(const std::string& url);
void ReleaseCamera(const std::string& url);
bool CameraClaimed(const std::string& url);

}  // namespace kal
