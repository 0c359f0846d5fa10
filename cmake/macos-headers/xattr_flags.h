/* The part of macOS's <xattr_flags.h> that note2md calls, as Apple's manual
   (xattr_name_with_flags(3)) and copyfile's header give it, for Zig's macOS
   headers, which lack it. A build on a Mac uses the real one. */
#ifndef NOTE2MD_XATTR_FLAGS_H
#define NOTE2MD_XATTR_FLAGS_H

typedef unsigned int xattr_operation_intent_t;
#define XATTR_OPERATION_INTENT_COPY 1
#define XATTR_OPERATION_INTENT_SAVE 2
#define XATTR_OPERATION_INTENT_SHARE 3
#define XATTR_OPERATION_INTENT_SYNC 4

#ifdef __cplusplus
extern "C" {
#endif
int xattr_preserve_for_intent(const char* name, xattr_operation_intent_t intent);
#ifdef __cplusplus
}
#endif
#endif
