#ifndef TREL_SAVE_CALLS_H
#define TREL_SAVE_CALLS_H

#include <atomic>
#include <string>
#include <vector>

// The file-system calls that make a save last (fsync, link, rename), defined by the test
// program itself: the engine's calls land here first and go on to the C library's. They note
// the call, when recording, and the phase of the save they begin and end.
namespace saveCalls {

enum Phase {
    kOutside,  // not saving
    kWriting,  // from the start of a save to the first flush: the values, the lock, the write
    kFlushing, // inside an fsync, of the new file or of the folder
    kRenaming  // between the flushes: the backup's link and renames, the new file's rename
};
// Where the phase goes (null: nowhere), in memory shared with a parent that kills the saver.
extern std::atomic<int>* phase;
void setPhase(Phase now);

// The calls while recording, as "fsync <path>", "link <from> <to>", "rename <from> <to>".
void startRecording();
std::vector<std::string> stopRecording();

} // namespace saveCalls

#endif
