// The files below /files/: downloads of known bytes, ones that break off, crawl or are big, launch
// files and what only looks like one, and a PDF to be shown.
#pragma once

#include "routing.h"
#include "server.h"

#include <atomic>
#include <string>
#include <vector>

namespace standin {

class Files {
public:
    // `broken_served` counts the requests for /files/broken.bin; both outlive the files.
    Files(Shutdown& shutdown, std::atomic<unsigned long long>& broken_served);

    // One route per file, "/files/NAME"; any other name below /files/ gets the generic page. The
    // routes use this object.
    std::vector<Route> Routes() const;

private:
    // The pattern from byte `offset` of a file on, for a piece of at most kBigPieceSize bytes.
    const char* pattern_from(std::size_t offset) const;
    void serve_pattern(const Exchange& x, std::size_t size, long ms, std::size_t piece) const;
    void serve_named(const Exchange& x) const;
    void serve_broken(const Exchange& x) const;
    void serve_slow(const Exchange& x) const;
    void serve_unknown(const Exchange& x) const;
    void reset_connection(int fd) const;

    Shutdown& shutdown_;
    std::atomic<unsigned long long>& broken_served_;
    const std::string pattern_; // the longest file's worth of the pattern; the files serve slices of it
    const std::string pdf_;
};

} // namespace standin
