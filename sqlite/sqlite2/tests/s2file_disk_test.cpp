/*
** class File against real files: creating and refusing files, writing in
** place, noticing changes by other programs, playing back hot journals as
** 2.8.17 does, and the fcntl locks against another process (including
** the trap of a second descriptor dropping the process's locks).
*/
#include "s2expect.h"
#include "s2file.h"
#include "s2journal.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using s2test::ReadBytes;
using s2test::TempDir;
using s2test::WriteBytes;

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

class Disk : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(m_temp.path().empty());
    m_dir = m_temp.path();
    m_db = m_dir + "/test.db";
  }

  /* An image of one table with N rows. */
  static s2::Image tableImage(int n, const std::string& prefix = "row") {
    s2::Image image;
    s2::MasterEntry e;
    e.rowid = 1;
    e.type = "table";
    e.name = e.tbl_name = "t";
    e.sql = std::string("CREATE TABLE t(a, b TEXT)");
    image.master.push_back(e);
    for (int i = 1; i <= n; i++) {
      image.tables["t"].push_back({i, {std::to_string(i), prefix + std::to_string(i)}});
    }
    return image;
  }

  /* Writes IMAGE as the content of m_db through a File. */
  void storeImage(const s2::Image& image) {
    s2::File file;
    ASSERT_TRUE(file.open(m_db).ok());
    s2::Image current;
    ASSERT_TRUE(file.load(current).ok());
    s2::Status status = file.store(image);
    ASSERT_TRUE(status.ok()) << status.message;
  }

  TempDir m_temp;
  std::string m_dir;
  std::string m_db;
};

TEST_F(Disk, OpenCreatesMissingFilesAndRefusesOthers) {
  s2::File file;
  ASSERT_TRUE(file.open(m_db).ok());
  EXPECT_TRUE(exists(m_db));
  EXPECT_EQ(ReadBytes(m_db).size(), 0u);
  s2::Image image;
  ASSERT_TRUE(file.load(image).ok());
  EXPECT_TRUE(image.master.empty());
  /* Storing an empty image keeps the empty file as it is. */
  ASSERT_TRUE(file.store(image).ok());
  EXPECT_EQ(ReadBytes(m_db).size(), 0u);

  s2::File missing;
  s2::Status status = missing.open(m_dir + "/no/such/dir.db");
  EXPECT_EQ(status.code, s2::kCantOpen);
  EXPECT_EQ(status.message, "unable to open database: " + m_dir + "/no/such/dir.db");
  EXPECT_EQ(missing.open(m_dir).code, s2::kCantOpen);
}

/* The identification text with its closing NUL. */
const char kMagicPrefix[] = "** This file contains an SQLite 2.1 database **";

TEST_F(Disk, ForeignFilesAreRefusedAndNeverWritten) {
  std::string foreign = "SQLite format 3" + std::string(2000, '\x01');
  WriteBytes(m_db, foreign);
  s2::File file;
  ASSERT_TRUE(file.open(m_db).ok());
  s2::Image image;
  s2::Status status = file.load(image);
  EXPECT_EQ(status.code, s2::kNotADb);
  EXPECT_EQ(status.message, "file is encrypted or is not a database");
  EXPECT_EQ(file.store(tableImage(1)).code, s2::kMisuse);
  EXPECT_EQ(ReadBytes(m_db), foreign);

  /* However short: a few bytes of text are no database either. */
  for (std::string shortText :
       {std::string("garbage"), std::string(47, '*'), std::string(kMagicPrefix, 20)}) {
    WriteBytes(m_db, shortText);
    EXPECT_EQ(file.load(image).code, s2::kNotADb) << shortText;
    EXPECT_EQ(file.store(tableImage(2)).code, s2::kMisuse);
    EXPECT_EQ(ReadBytes(m_db), shortText);
  }

  /* The identification text on a file shorter than a page: an empty
  ** database, which the first write fills. */
  WriteBytes(m_db, std::string(kMagicPrefix, 48));
  ASSERT_TRUE(file.load(image).ok());
  ASSERT_TRUE(file.store(tableImage(2)).ok());
  s2::Image back;
  ASSERT_TRUE(file.load(back).ok());
  EXPECT_EQ(back.tables["t"].size(), 2u);
}

TEST_F(Disk, StoreWritesInPlaceAndOnlyWhatChanged) {
  storeImage(tableImage(500));
  struct stat before;
  ASSERT_EQ(stat(m_db.c_str(), &before), 0);

  s2::File file;
  ASSERT_TRUE(file.open(m_db).ok());
  s2::Image image;
  ASSERT_TRUE(file.load(image).ok());
  std::string original = ReadBytes(m_db);
  ASSERT_TRUE(file.store(image).ok());
  EXPECT_EQ(ReadBytes(m_db), original);

  image.tables["t"][250].cells[1] = std::string("changed");
  ASSERT_TRUE(file.store(image).ok());
  std::string changed = ReadBytes(m_db);
  EXPECT_FALSE(exists(m_db + "-journal"));
  struct stat after;
  ASSERT_EQ(stat(m_db.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino); /* no new file renamed over it */
  size_t differing = 0;
  for (size_t p = 0; p < changed.size() / 1024; p++) {
    if (changed.compare(p * 1024, 1024, original, p * 1024, 1024) != 0) differing++;
  }
  EXPECT_GT(differing, 0u);
  EXPECT_LT(differing, 5u);
}

TEST_F(Disk, ChangesByOthersAreNoticedAndNeverOverwritten) {
  storeImage(tableImage(3));
  s2::File mine;
  ASSERT_TRUE(mine.open(m_db).ok());
  s2::Image image;
  ASSERT_TRUE(mine.load(image).ok());

  /* Another program rewrites the file meanwhile. */
  s2::Image theirs = tableImage(4, "theirs");
  std::string theirBytes;
  ASSERT_TRUE(s2::buildImage(theirs, nullptr, theirBytes).ok());
  WriteBytes(m_db, theirBytes);

  bool changed = false;
  ASSERT_TRUE(mine.changedSinceLoad(&changed).ok());
  EXPECT_TRUE(changed);
  image.tables["t"][0].cells[1] = std::string("mine");
  s2::Status status = mine.store(image);
  EXPECT_EQ(status.code, s2::kError);
  EXPECT_NE(status.message.find("changed by another program"), std::string::npos);
  EXPECT_EQ(ReadBytes(m_db), theirBytes);

  bool reloaded = false;
  ASSERT_TRUE(mine.refresh(image, &reloaded).ok());
  EXPECT_TRUE(reloaded);
  EXPECT_EQ(image.tables["t"].size(), 4u);
  ASSERT_TRUE(mine.refresh(image, &reloaded).ok());
  EXPECT_FALSE(reloaded);
}

/* Journals as a crashed writer leaves them. */
class Journal : public Disk {
 protected:
  void SetUp() override {
    Disk::SetUp();
    storeImage(tableImage(300));
    m_original = ReadBytes(m_db);
    ASSERT_GT(m_original.size(), 4096u);
  }

  static void put32(std::string& s, uint32_t v) {
    s.push_back(char(v >> 24));
    s.push_back(char(v >> 16));
    s.push_back(char(v >> 8));
    s.push_back(char(v));
  }

  /* A format 3 journal saving PAGES of the original file. */
  std::string journal3(const std::vector<uint32_t>& pages, uint32_t nRec, uint32_t checkInit = 77) {
    std::string j("\xd9\xd5\x05\xf9\x20\xa1\x63\xd6", 8);
    put32(j, nRec);
    put32(j, checkInit);
    put32(j, uint32_t(m_original.size() / 1024));
    for (uint32_t page : pages) {
      put32(j, page);
      j += m_original.substr((page - 1) * 1024, 1024);
      put32(j, checkInit + page);
    }
    return j;
  }

  /* Damages pages 2..4 and appends two pages, as a half-done write would. */
  std::string damaged() {
    std::string d = m_original;
    for (size_t i = 1024; i < 4096; i++) d[i] = char(0x55);
    return d + std::string(2048, '\x66');
  }

  s2::Status openAndLoad(s2::Image& image) {
    s2::File file;
    s2::Status status = file.open(m_db);
    if (status.ok()) status = file.load(image);
    return status;
  }

  std::string m_original;
};

TEST_F(Journal, HotJournalRestoresTheFileByteForByte) {
  WriteBytes(m_db, damaged());
  WriteBytes(m_db + "-journal", journal3({2, 3, 4}, 3));
  s2::Image image;
  s2::Status status = openAndLoad(image);
  ASSERT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(ReadBytes(m_db), m_original);
  EXPECT_FALSE(exists(m_db + "-journal"));
  EXPECT_EQ(image.tables["t"].size(), 300u);
}

TEST_F(Journal, ProbeRecognisesFilesAndRecovers) {
  WriteBytes(m_db, damaged());
  WriteBytes(m_db + "-journal", journal3({2, 3, 4}, 3));
  bool generation2 = false;
  ASSERT_TRUE(s2::probeFile(m_db, &generation2).ok());
  EXPECT_TRUE(generation2);
  EXPECT_EQ(ReadBytes(m_db), m_original);
  EXPECT_FALSE(exists(m_db + "-journal"));

  WriteBytes(m_db, "SQLite format 3" + std::string(2000, '\0'));
  ASSERT_TRUE(s2::probeFile(m_db, &generation2).ok());
  EXPECT_FALSE(generation2);
  ASSERT_TRUE(s2::probeFile(m_dir + "/missing.db", &generation2).ok());
  EXPECT_FALSE(generation2);
  EXPECT_FALSE(exists(m_dir + "/missing.db"));
}

TEST_F(Journal, RecordCountFromSizeAndEarlyStops) {
  /* nRec = 0xFFFFFFFF: count from the file size. */
  WriteBytes(m_db, damaged());
  WriteBytes(m_db + "-journal", journal3({2, 3, 4}, 0xffffffffu));
  s2::Image image;
  ASSERT_TRUE(openAndLoad(image).ok());
  EXPECT_EQ(ReadBytes(m_db), m_original);

  /* A record beyond nRec is ignored: it was never synced. */
  WriteBytes(m_db, damaged());
  WriteBytes(m_db + "-journal", journal3({2, 3, 4}, 2));
  /* The load itself fails on the page left damaged; only the playback counts. */
  (void)openAndLoad(image);
  std::string result = ReadBytes(m_db);
  EXPECT_EQ(result.size(), m_original.size());
  EXPECT_EQ(result.substr(1024, 2048), m_original.substr(1024, 2048));
  EXPECT_EQ(result.substr(3072, 1024), std::string(1024, '\x55'));

  /* A bad check value ends playback there, successfully. */
  WriteBytes(m_db, damaged());
  std::string j = journal3({2, 3, 4}, 3);
  j[20 + 1032 + 1028] ^= 1;
  WriteBytes(m_db + "-journal", j);
  (void)openAndLoad(image);
  result = ReadBytes(m_db);
  EXPECT_EQ(result.substr(1024, 1024), m_original.substr(1024, 1024));
  EXPECT_EQ(result.substr(2048, 1024), std::string(1024, '\x55'));
  EXPECT_FALSE(exists(m_db + "-journal"));
}

TEST_F(Journal, ShortAndBadJournals) {
  /* 0, 11, 12 and 19 bytes: too short for a header; the journal goes. */
  for (size_t size : {0u, 11u, 12u, 19u}) {
    WriteBytes(m_db + "-journal", journal3({}, 0).substr(0, size));
    s2::Image image;
    ASSERT_TRUE(openAndLoad(image).ok()) << size;
    EXPECT_EQ(ReadBytes(m_db), m_original);
    EXPECT_FALSE(exists(m_db + "-journal"));
  }
  s2::Image image;
  /* A wrong identifier costs one failed open; then the journal is gone. */
  WriteBytes(m_db + "-journal", std::string(100, 'j'));
  s2::Status status = openAndLoad(image);
  EXPECT_EQ(status.code, s2::kCorrupt);
  EXPECT_EQ(status.message, "database disk image is malformed");
  EXPECT_FALSE(exists(m_db + "-journal"));
  EXPECT_TRUE(openAndLoad(image).ok());

  /* nRec larger than the records present is a read error. */
  WriteBytes(m_db + "-journal", journal3({2}, 5));
  EXPECT_EQ(openAndLoad(image).code, s2::kCorrupt);
}

TEST_F(Journal, FormatTwoJournal) {
  WriteBytes(m_db, damaged());
  std::string j("\xd9\xd5\x05\xf9\x20\xa1\x63\xd5", 8);
  put32(j, uint32_t(m_original.size() / 1024));
  for (uint32_t page : {2u, 3u, 4u}) {
    put32(j, page);
    j += m_original.substr((page - 1) * 1024, 1024);
  }
  WriteBytes(m_db + "-journal", j);
  s2::Image image;
  ASSERT_TRUE(openAndLoad(image).ok());
  EXPECT_EQ(ReadBytes(m_db), m_original);
}

/* Our own journal, cut short at each step of a write, restores the old
** content: before its record count is written nothing is played back and
** the database is still untouched; after it, the saved pages come back. */
TEST_F(Journal, OwnJournalUndoesAnInterruptedWrite) {
  s2::Image bigger = tableImage(600, "longer row text ");
  std::string fresh;
  ASSERT_TRUE(s2::buildImage(bigger, nullptr, fresh).ok());
  ASSERT_GT(fresh.size(), m_original.size());
  uint32_t pages = uint32_t(m_original.size() / 1024);
  std::vector<s2::JournalRecord> records;
  for (uint32_t p = 1; p <= pages; p++) records.push_back({p, m_original.data() + (p - 1) * 1024});

  for (size_t written : {size_t(0), size_t(1024), m_original.size() / 2, fresh.size()}) {
    ASSERT_TRUE(s2::writeJournal(m_db + "-journal", pages, records).ok());
    std::string half = fresh.substr(0, written);
    if (half.size() < m_original.size()) half += m_original.substr(half.size());
    WriteBytes(m_db, half);
    s2::Image image;
    ASSERT_TRUE(openAndLoad(image).ok());
    EXPECT_EQ(ReadBytes(m_db), m_original) << written;
    EXPECT_FALSE(exists(m_db + "-journal"));
  }
  /* A journal whose record count was never written restores nothing, but
  ** still cuts the file back to its original length. */
  ASSERT_TRUE(s2::writeJournal(m_db + "-journal", pages, records).ok());
  std::string journal = ReadBytes(m_db + "-journal");
  journal.replace(8, 4, std::string(4, '\0'));
  WriteBytes(m_db + "-journal", journal);
  WriteBytes(m_db, m_original + std::string(3072, 'x'));
  s2::Image image;
  ASSERT_TRUE(openAndLoad(image).ok());
  EXPECT_EQ(ReadBytes(m_db), m_original);
}

TEST_F(Disk, LocksHeldElsewhereMakeTheFileBusy) {
  storeImage(tableImage(3));
  int toChild[2], fromChild[2];
  ASSERT_EQ(pipe(toChild), 0);
  ASSERT_EQ(pipe(fromChild), 0);
  /* The child holds a read lock, then a write lock, on command. */
  pid_t pid = fork();
  if (pid == 0) {
    close(toChild[1]);
    close(fromChild[0]);
    int fd = open(m_db.c_str(), O_RDWR);
    char command;
    while (read(toChild[0], &command, 1) == 1) {
      struct flock lock {};
      lock.l_type = command == 'r' ? F_RDLCK : command == 'w' ? F_WRLCK : F_UNLCK;
      lock.l_whence = SEEK_SET;
      char answer = fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
      if (write(fromChild[1], &answer, 1) != 1) break;
    }
    _exit(0);
  }
  close(toChild[0]);
  close(fromChild[1]);
  auto tell = [&](char c) {
    char answer = 0;
    EXPECT_EQ(write(toChild[1], &c, 1), 1);
    EXPECT_EQ(read(fromChild[0], &answer, 1), 1);
    return answer;
  };

  s2::File file;
  ASSERT_TRUE(file.open(m_db).ok());
  s2::Image image;
  ASSERT_TRUE(file.load(image).ok());
  std::string before = ReadBytes(m_db);

  ASSERT_EQ(tell('r'), 'y');
  EXPECT_TRUE(file.load(image).ok()); /* reading is allowed */
  image.tables["t"][0].cells[1] = std::string("new");
  s2::Status status = file.store(image); /* writing is not */
  EXPECT_EQ(status.code, s2::kBusy);
  EXPECT_EQ(status.message, "database is locked");
  EXPECT_EQ(ReadBytes(m_db), before);

  ASSERT_EQ(tell('w'), 'y');
  EXPECT_EQ(file.load(image).code, s2::kBusy);
  /* A journal beside a locked file belongs to a live writer: not hot. */
  WriteBytes(m_db + "-journal", std::string(100, 'j'));
  EXPECT_EQ(file.lockRead().code, s2::kBusy);
  EXPECT_TRUE(exists(m_db + "-journal"));
  unlink((m_db + "-journal").c_str());

  ASSERT_EQ(tell('u'), 'y');
  EXPECT_TRUE(file.store(image).ok());
  /* Our read lock lets the other process read but not write. */
  ASSERT_TRUE(file.lockRead().ok());
  EXPECT_EQ(tell('w'), 'n');
  /* Other code of this process opening and closing the same file must not
  ** drop that lock: a second connection shares the one descriptor. */
  {
    s2::File second;
    ASSERT_TRUE(second.open(m_db).ok());
    ASSERT_TRUE(second.load(image).ok());
  }
  EXPECT_EQ(tell('w'), 'n');
  EXPECT_EQ(tell('r'), 'y');
  EXPECT_EQ(tell('u'), 'y');
  /* While we hold the write lock the other process cannot even read. */
  ASSERT_TRUE(file.lockWrite().ok());
  EXPECT_EQ(tell('r'), 'n');
  file.unlock();
  EXPECT_EQ(tell('w'), 'y');

  close(toChild[1]);
  close(fromChild[0]);
  waitpid(pid, nullptr, 0);
}

TEST_F(Disk, ConnectionsOfOneProcessExcludeEachOther) {
  storeImage(tableImage(3));
  s2::File a, b;
  ASSERT_TRUE(a.open(m_db).ok());
  ASSERT_TRUE(b.open(m_db).ok());
  ASSERT_TRUE(a.lockWrite().ok());
  EXPECT_EQ(b.lockRead().code, s2::kBusy);
  a.unlock();
  ASSERT_TRUE(b.lockRead().ok());
  EXPECT_EQ(a.lockWrite().code, s2::kBusy);
  ASSERT_TRUE(a.lockRead().ok());
  b.unlock();
  EXPECT_TRUE(a.lockWrite().ok());
}

}  // namespace
