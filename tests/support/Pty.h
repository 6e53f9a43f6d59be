#pragma once
// A pseudo-terminal pair standing in for a serial line: the code under test
// opens the slave side by path, as it would a serial port; the test plays
// the remote end on the master side. The line starts raw, so bytes pass
// unchanged until the code under test sets it up.

#include <cstddef>
#include <string>

namespace tavrin::test {

class TPty {
public:
    TPty();
    ~TPty();
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    int Master() const { return FMaster; }
    int Slave() const { return FSlave; }
    const std::string& SlavePath() const { return FSlavePath; }
    // Closes the master side: the slave hangs up.
    void CloseMaster();

    // Writes every byte to the master side; throws when it cannot.
    void Send(const std::string& bytes) const;
    // Reads from the master side until count bytes came or limitMs passed.
    std::string Receive(std::size_t count, int limitMs = 5000) const;

private:
    int FMaster = -1;
    int FSlave = -1;
    std::string FSlavePath;
};

}  // namespace tavrin::test
