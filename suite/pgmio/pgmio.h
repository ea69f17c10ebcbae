// Programming files of the suite: a device configuration and, in its header, one record per
// logic analyzer instance compiled into it (the instance's node-information word and its
// trigger checksum).
//
// Layout: a text header, then the configuration bytes.
//   KORVANE-SIF 1
//   zlm 0801A203,00C0FFEE      one line per analyzer instance: two groups of 8 hex digits
//   payload 1234               the number of configuration bytes that follow the line
//   <bytes>
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PGMIO_ZLM_RECORD {
    uint32_t node_info = 0;
    uint32_t crc = 0;
};

// The analyzer records of a programming file: *count their number and *text their keys, as the
// file holds them, separated by ";". False, leaving both as they were, for a file that cannot
// be read or is not a whole programming file.
bool pgmio_export_zlm_data(const char* path, unsigned int* count, std::string* text);

// Writes a programming file (the simulated compile's output) through a temporary file: a failed
// write leaves an existing file as it was. False with the reason.
bool pgmio_write_sif(const char* path, const std::vector<PGMIO_ZLM_RECORD>& records, const std::string& payload,
                     std::string* error);
