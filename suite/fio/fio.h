// The suite's file-system search.
#pragma once

#include <string>

struct FIO_FIND_DATA {
    std::string name;  // file name without directory
};

class FIO_FILE_SYSTEM {
public:
    // Starts a search for a pattern with '*' and '?' in its last component; -1 when nothing
    // matches, else a handle whose first match fills `data`.
    static long findfirst(const char* pattern, FIO_FIND_DATA* data);
    // 0 with the next match, -1 at the end.
    static int findnext(long handle, FIO_FIND_DATA* data);
    static void findclose(long handle);
};
