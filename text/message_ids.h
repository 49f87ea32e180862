// The numbers of the program's messages, by name. Code names a message
// through these constants; `Message` takes nothing else, so an id that has
// no text cannot be looked up by mistake.
#pragma once

// One row per message: name, number. The enum and `msg::kAll` come from it.
#define ZARVEX_MESSAGE_IDS(X)                                                                          \
    X(DuplicateInput, 100) X(NoFindings, 101) X(ProcessingInput, 102) X(VerifyNewFolder, 103)         \
    X(CannotCreateFolder, 104) X(NoPatternMatch, 105) X(InvalidPattern, 106) X(UuData, 109)           \
    X(Base64Data, 110) X(XxData, 111) X(QpData, 112) X(BinHexData, 113) X(TextData, 114)              \
    X(OutOfMemory, 116) X(YencData, 117) X(BNewsData, 119) X(ExtractingFile, 120) X(MissingStart, 121) \
    X(ExtractError, 123) X(UnknownApplication, 124) X(LaunchFailed, 125) X(ReadOnlyFolder, 127)       \
    X(None, 128) X(SubjectLabel, 129) X(FilenameLabel, 130) X(EncodingLabel, 131)                     \
    X(MessageTypeLabel, 132) X(PartsFound, 133) X(MissingPartsLabel, 134) X(Unknown, 135)             \
    X(MessageSpan, 136) X(KeepWaiting, 137) X(Aborted, 139) X(RecursiveScan, 140)                     \
    X(RecursiveFound, 141) X(ClipboardNameDiffers, 142) X(ClipboardMultiple, 143)                     \
    X(TooDeeplyNested, 144) X(OriginalFilename, 145) X(StreamDecodeExisting, 148) X(GroupOf, 149)     \
    X(FacePngData, 151) X(Validating, 153) X(NewsgroupsLabel, 154) X(PostedLabel, 155)                \
    X(LineError, 300) X(LongLine, 301) X(ShortLine, 302) X(InvalidCharacters, 304) X(MoreErrors, 305) \
    X(ShortFile, 306) X(PossiblyShort, 307) X(NothingWritten, 308) X(MissingLineEnd, 309)             \
    X(UnexpectedEnd, 310) X(EndNotFound, 311) X(InvalidCrc, 312) X(DuplicateDot, 313)                 \
    X(MonitoredChanged, 314) X(UnexpectedData, 315) X(PartOfTotal, 316) X(PartNumber, 317)            \
    X(TryingAlternate, 318) X(PartCrcFails, 319) X(PartSizeWrong, 320) X(FileCrcFails, 321)           \
    X(MissingYencFooter, 322) X(ExtractingAs, 330) X(ProcessingLog, 331) X(ContinueProcessing, 332)   \
    X(FoundPart, 333) X(AssociationsRemoved, 334) X(DroppingDuplicate, 336) X(Newer, 337) X(Existing, 338)                        \
    X(LongLinesRestore, 339) X(KeepingDuplicate, 341) X(DecodingBinHex, 342)                          \
    X(TryingNextDuplicate, 344) X(Ready, 345) X(WriteFailedRemoved, 350) X(DamagedKeptOld, 351)          \
    X(SkippedExists, 352) X(SkippedInput, 353) X(CannotRead, 354) X(SkippedIncomplete, 355)           \
    X(SkippedSameRun, 356) X(RenamedSameRun, 357) X(Incomplete, 358) X(DamagedWrittenBeside, 359)  \
    X(TnefUnpacked, 360) X(TnefDamaged, 361) X(TnefTooDeep, 362) X(TnefContainerRemoved, 363)         \
    X(ArchiveTooLarge, 364) X(MemberEncrypted, 365) X(MemberDamaged, 366) X(ArchiveDamaged, 367)       \
    X(FileErrorNone, 400) X(FileErrorGeneric, 401)                                                     \
    X(FileErrorNotFound, 402) X(FileErrorBadPath, 403) X(FileErrorTooManyOpen, 404)                   \
    X(FileErrorAccessDenied, 405) X(FileErrorBadHandle, 406) X(FileErrorRemoveCurrentDir, 407)        \
    X(FileErrorDirectoryFull, 408) X(FileErrorBadSeek, 409) X(FileErrorHardIo, 410)                   \
    X(FileErrorSharing, 411) X(FileErrorLock, 412) X(FileErrorDiskFull, 413) X(FileErrorEndOfFile, 414) \
    X(FileErrorUnknown, 415) X(FileErrorLabel, 416) X(OpenFileTypes, 40043)

namespace zarvex::msg {

enum Id : int {
    NoMessage = 0, // no message: not in the table
#define ZARVEX_MESSAGE_ENUM(name, number) name = number,
    ZARVEX_MESSAGE_IDS(ZARVEX_MESSAGE_ENUM)
#undef ZARVEX_MESSAGE_ENUM
};

// Every named message, in table order.
inline constexpr Id kAll[] = {
#define ZARVEX_MESSAGE_LIST(name, number) name,
    ZARVEX_MESSAGE_IDS(ZARVEX_MESSAGE_LIST)
#undef ZARVEX_MESSAGE_LIST
};

} // namespace zarvex::msg
