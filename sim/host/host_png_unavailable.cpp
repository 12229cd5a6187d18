// The host of a build without libpng writes no images and says why.
#include "tarvel_host.hpp"

namespace tarvel {

bool WritePng(const std::string &path, const std::vector<const Image *> &, std::string *error) {
  if (error != nullptr) *error = "cannot write " + path + ": this build has no PNG writer";
  return false;
}

}  // namespace tarvel
