// Network namespace identity from /proc.
#include "net/linux/net_namespace.h"

#include <sys/stat.h>

NamespaceMatch SameNetNamespace(const std::string& pid) {
  struct stat own {};
  struct stat other {};
  if (stat("/proc/thread-self/ns/net", &own) != 0) return NamespaceMatch::kUnknown;
  if (stat(("/proc/" + pid + "/ns/net").c_str(), &other) != 0) return NamespaceMatch::kUnknown;
  return own.st_dev == other.st_dev && own.st_ino == other.st_ino ? NamespaceMatch::kSame
                                                                  : NamespaceMatch::kOther;
}
