// Whether another process shares the calling thread's network namespace.
#pragma once

#include <string>

enum class NamespaceMatch { kSame, kOther, kUnknown };

// Compares /proc/<pid>/ns/net with /proc/thread-self/ns/net (namespaces are per thread).
// kUnknown when either cannot be read, as happens for other users' processes without privilege.
NamespaceMatch SameNetNamespace(const std::string& pid);
