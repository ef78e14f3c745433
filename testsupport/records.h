// Cameras as the tests write them: lines of Cameras.txt, the record bodies the
// conduit packs, and LenfolDB written and read through the stand-in's sync
// manager the way a conduit does.
#ifndef LENSFOLIO_TESTSUPPORT_RECORDS_H
#define LENSFOLIO_TESTSUPPORT_RECORDS_H

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kLenfolCreator = 0x4C6E466F;  // LnFo
constexpr uint32_t kLenfolType = 0x4974656D;     // Item

// A record body: columns 1 to 11, each ended by a NUL, missing ones empty.
std::string Body(const std::vector<std::string> &columns);
std::vector<uint8_t> BodyBytes(const std::vector<std::string> &columns);
// One line of Cameras.txt from its columns, LF-ended.
std::string CameraLine(const std::vector<std::string> &columns);
// Fifteen valid columns named `name`, with the given flags and category.
std::vector<std::string> Camera(const std::string &name, const std::string &privateFlag = "N",
                                const std::string &category = "1",
                                const std::string &deletedFlag = "N");

// `size` bytes that differ from body to body (by `seed`) and from offset to
// offset, so a body cut at the wrong place or taken from the wrong record shows.
std::string Pattern(size_t size, uint32_t seed);

// A record read by index, its fields copied out of the packed request.
struct ReadResult {
    int32_t status = -1;
    uint32_t id = 0;
    uint8_t attributes = 0;
    int16_t category = -1;
    uint32_t size = 0;
    std::string body;
};

// SyncCreateDB of a LnFo/Item database; a name of 32 bytes or more is passed
// unterminated.
int32_t CreateDatabase(const std::string &name, uint8_t *handle, uint32_t flags = 0);
// SyncWriteRec of one record (recordId 0: a new one); its ID in *id.
int32_t WriteRecord(uint8_t db, uint8_t attributes, int16_t category, const std::string &body,
                    uint32_t *id = nullptr, uint32_t recordId = 0);
// SyncReadRecordByIndex into a buffer of `bufferSize`; a byte written past
// the body fails the test.
ReadResult ReadRecord(uint8_t db, uint16_t index, uint16_t bufferSize = 65535);

#endif  // LENSFOLIO_TESTSUPPORT_RECORDS_H
