// Opening a package as the document, and the untitled document.
#pragma once
#include <windows.h>
#include "document_record.h"

struct FrameState;
struct tKVLANG;

// Reads the package named by request (only its DOC_READONLY flag is read) and makes it the document: the package
// side's collections are replaced, its tree and list rebuilt, the title updated. A missing file shows message 33015
// and gives 0x8004E032; a file that does not read shows 33016 and gives the reader's code. On failure nothing
// changes. Messages go through the message-box family with the frame as owner.
HRESULT OpenPackage(FrameState& frame, const DocumentRecord& request);

// The record of a new document: DOC_UNTITLED and the path "Untitled" (string 3036).
void MakeUntitledDocument(DocumentRecord& document, tKVLANG* language);
