#pragma once
// Minimal HTTP/1.0 requests to the server directory, one connection each, on the calling
// thread. Every step is bounded in time and the reply in size, so a directory that stalls
// or floods cannot freeze the wizard.

// Sends a GET for szPath and returns the reply's body (everything after the first empty
// line) in a block from malloc that the caller frees; *pnBodyLength receives its length.
// Returns null, leaving *pnBodyLength alone, when there is no body: no connection, no
// empty line in the reply, or a reply that did not end within the time or size bound.
char* HttpGet(const char* szHost, const char* szPath, int nPort, int* pnBodyLength);

// Sends a POST of the raw bytes as form data and reads the reply only to let the
// directory finish; a failure goes unreported.
void HttpPost(const char* szHost, const char* szPath, int nPort, const void* pBody, int nBodyLength);
