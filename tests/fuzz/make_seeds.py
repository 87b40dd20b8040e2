#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into tests/fuzz/seeds/<target>/.

The seeds are the inputs of the normal tests (the bad-input tables of the lobby, the HTTP
client's replies, the wave reader's files, the options files, the directory's publication
bodies and raw requests, the LAN datagrams), written byte by byte here. Run it again after
changing a case; the files are kept in the repository so that a run needs nothing but them.
"""
import os
import shutil
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def frame(kind, payload=b"", length=None):
    return u32(kind) + u32(len(payload) if length is None else length) + payload


def chat(player, text):
    return frame(2000 + player, text.encode("latin-1") + b"\r\n\0")


START = frame(99999)
SERVER_FULL = frame(1001)


def player_notice(kind, player):
    return frame(kind, u32(player))


def lobby_host_seeds():
    # The first byte picks the sending client: 1 makes it player 2, as in the host's tests.
    as2 = lambda data: b"\x01" + data
    return {
        "negative-length": as2(u32(2002) + u32(0xFFFFFFFF)),
        "length-2^31-1": as2(u32(2002) + u32(0x7FFFFFFF)),
        "length-64KiB+1": as2(u32(2002) + u32(0x10001)),
        "garbage": as2(b"GET / HTTP/1.0\r\n\r\n"),
        "header-cut": as2(u32(2002) + b"\x0a\x00"),
        "payload-cut": as2(u32(2002) + u32(10) + b"abc"),
        "start-signal": as2(START),
        "player-number": as2(player_notice(1004, 1)),
        "join-notice": as2(player_notice(3000, 3)),
        "leave-notice": as2(player_notice(3001, 1)),
        "server-full": as2(SERVER_FULL),
        "chat-as-player-1": as2(chat(1, "a->spoof")),
        "chat-as-host": as2(chat(0, "host->spoof")),
        "unknown-type": as2(frame(10000, b"\x01\x02\x03")),
        "empty-chat": as2(frame(2002)),
        "own-chat": as2(chat(2, "abc->hi")),
        "own-chat-without-nul": as2(frame(2002, b"abc")),
        "own-chat-of-64KiB": as2(frame(2002, b"x" * 65535 + b"\0")),
        "chat-then-marker": as2(chat(2, "abc->hi") + chat(2, "m->still here")),
        "player-1-chat": b"\x00" + chat(1, "o->other"),
        "player-3-chat": b"\x02" + chat(3, "c->only here"),
    }


def lobby_client_seeds():
    return {
        "player-id": player_notice(1004, 2),
        "chat-join-start": chat(1, "ab->yo") + player_notice(3000, 3) + START,
        "leave-of-host": player_notice(3001, 0),
        "server-full": SERVER_FULL,
        "negative-length": u32(2001) + u32(0xFFFFFFFF),
        "length-2^31-1": u32(2001) + u32(0x7FFFFFFF),
        "length-64KiB+1": u32(2001) + u32(0x10001),
        "garbage": b"HTTP/1.0 200 OK\r\n\r\n",
        "header-cut": u32(2001)[:3],
        "payload-cut": u32(2001) + u32(9) + b"a",
        "player-number-without-one": frame(1004),
        "join-notice-of-2-bytes": frame(3000, b"\x03\x00"),
        "empty-chat": frame(2001),
        "unknown-type": frame(10000, b"\x01\x02"),
        "chat-without-nul": frame(2001, b"abc"),
    }


def binary_list():
    data = bytearray(5280)
    for i in range(0, len(data), 7):
        data[i] = (i * 13) & 0xFF
    return bytes(data)


def entry(name, port, address=b"", fields=(1, 1, 1, 4)):
    record = bytearray(264)
    record[0:len(address)] = address
    record[80:80 + len(name)] = name
    struct.pack_into("<ii", record, 160, fields[0], fields[1])
    struct.pack_into("<iii", record, 252, fields[2], fields[3], port)
    return bytes(record)


def two_entry_list():
    return entry(b"Ann's server", 2300, b"127.0.0.1") + entry(b"Bob", 36000, b"10.0.0.2") + bytes(264 * 18)


def http_reply_seeds():
    # The first byte sets how many bytes each receive hands over.
    replies = {
        "five-bytes": b"\r\n\r\nA",
        "no-empty-line": b"HTTP/1.0 200 OK\r\nContent-Length: 3\r\nabc",
        "empty-line-cut": b"HTTP/1.0 200 OK\r\n\r",
        "ends-after-empty-line": b"HTTP/1.0 200 OK\r\n\r\n",
        "short-body": b"HTTP/1.0 200 OK\r\nContent-Type: x\r\n\r\nabc",
        "empty-line-in-body": b"HTTP/1.0 200 OK\r\n\r\nab\r\n\r\ncd",
        "error-page": b"HTTP/1.0 404 Not Found\r\n\r\nnope",
        "binary-list": b"HTTP/1.0 200 OK\r\n\r\n" + binary_list(),
        "list-of-two": b"HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n" + two_entry_list(),
        "just-over-64KiB": b"HTTP/1.0 200 OK\r\n\r\n" + b"x" * (65537 - 19),
    }
    seeds = {"%s-pieces-of-4096" % name: b"\xff" + reply for name, reply in replies.items()}
    seeds["list-of-two-pieces-of-1"] = b"\x00" + replies["list-of-two"]
    return seeds


def server_list_seeds():
    long_name = entry(b"n" * 80, 2300, b"a" * 80)
    return {
        "binary-list": binary_list(),
        "list-of-two": two_entry_list(),
        "short-body": two_entry_list()[:300],
        "fields-without-nul": long_name * 20,
        "empty": b"",
    }


def options_record(fields):
    record = bytearray(164)
    struct.pack_into("<IIiiIIIIII", record, 32, *fields)
    return bytes(record)


def options_file_seeds():
    first_start = (164, 1, 0, 0, 1, 0, 1, 0, 0, 0)
    shipped = (164, 1, -1500, -500, 1, 0, 1, 1, 1, 1)
    return {
        "first-start": options_record(first_start),
        "shipped-defaults": options_record(shipped),
        "resolution-7": options_record((164, 1, 0, 0, 1, 7, 1, 0, 0, 0)),
        "sound-volume-9000-down": options_record((164, 1, 0, -9000, 1, 0, 1, 0, 0, 0)),
        "multi-player-windowed": options_record((164, 0, -6000, -6000, 0, 1, 0, 1, 2, 0)),
        "one-byte-short": options_record(shipped)[:163],
        "one-byte-long": options_record(shipped) + b"\0",
        "empty": b"",
    }


def chunk(ident, body, claimed=None):
    data = ident + u32(len(body) if claimed is None else claimed) + body
    return data + (b"\0" if len(body) % 2 else b"")


def riff(form, chunks):
    return chunk(b"RIFF", form + chunks)


def wave_format(tag, channels, rate, avg, align, bits):
    return u16(tag) + u16(channels) + u32(rate) + u32(avg) + u16(align) + u16(bits)


def wave_header_seeds():
    pcm = wave_format(1, 2, 22050, 12345, 3, 16)
    samples = bytes(range(1, 11))
    fmt = chunk(b"fmt ", pcm)
    data = chunk(b"data", samples)
    return {
        "canonical-pcm": riff(b"WAVE", fmt + data),
        "18-byte-format": riff(b"WAVE", chunk(b"fmt ", pcm + u16(0)) + data),
        "fact-and-list-before-data": riff(
            b"WAVE", fmt + chunk(b"fact", u32(5)) + chunk(b"LIST", b"INFOISFT" + u32(3) + b"ab\0") + data),
        "odd-chunk-before-data": riff(b"WAVE", fmt + chunk(b"junk", b"xyz") + data),
        "zero-length-data": riff(b"WAVE", fmt + chunk(b"data", b"")),
        "riff-size-unknown": chunk(b"RIFF", b"WAVE" + fmt + data, 0xFFFFFFFF),
        "not-riff": b"This is a text file, not a sound.\r\n",
        "other-form": riff(b"AVI ", fmt + data),
        "nothing-after-form-type": riff(b"WAVE", b""),
        "list-before-fmt": riff(b"WAVE", chunk(b"LIST", b"INFOISFT" + u32(2) + b"ab") + fmt + data),
        "ends-inside-format": riff(b"WAVE", chunk(b"fmt ", pcm[:10], 16)),
        "16-byte-format-only": riff(b"WAVE", fmt),
        "format-ends-beyond-furthest-position": riff(b"WAVE", chunk(b"fmt ", pcm, 0x80000000) + data),
        "ieee-float": riff(b"WAVE", chunk(b"fmt ", wave_format(3, 2, 22050, 176400, 8, 32)) + data),
        "no-data": riff(b"WAVE", fmt + chunk(b"LIST", b"INFO")),
        "data-cut-short": riff(b"WAVE", fmt + chunk(b"data", samples, 100)),
        "data-256MB-beyond": riff(b"WAVE", fmt + chunk(b"data", samples, 0x10000000)),
        "data-4GB": riff(b"WAVE", fmt + chunk(b"data", samples, 0xFFFFFFF0)),
        "search-led-back": riff(b"WAVE", fmt + chunk(b"junk", b"", 0xFFFFFFF8) + data),
    }


def publication_seeds():
    good = entry(b"Ann's server", 2300)
    with_del = bytearray(good)
    with_del[82] = 0x7F
    return {
        "good": good,
        "own-address": entry(b"Ann's server", 2300, b"6.6.6.6"),
        "lowest-port": entry(b"x", 1),
        "highest-port": entry(b"x", 36000),
        "79-character-name": entry(b"n" * 79, 2300),
        "latin-1-name": entry(b"Caf\xe9", 2300),
        "empty": b"",
        "short": good[:263],
        "long": good + b"x",
        "port-0": entry(b"x", 0),
        "port-36001": entry(b"x", 36001),
        "negative-port": entry(b"x", -80),
        "empty-name": entry(b"", 2300),
        "name-with-line-feed": entry(b"Ann\nserver", 2300),
        "name-with-escape": entry(b"\x1b[31mred", 2300),
        "name-with-del": bytes(with_del),
        "name-filling-its-field": entry(b"n" * 80, 2300),
    }


def lan_query(search_id):
    return (b"QLAN" + u16(1) + u16(1) + u32(search_id)).ljust(128, b"\0")


def lan_answer(search_id, port, players, max_players, name):
    return (b"QLAN" + u16(1) + u16(2) + u32(search_id) + u32(port) + u32(players) + u32(max_players)
            + u32(len(name)) + name + b"\0")


def with_bytes(data, offset, new):
    return data[:offset] + new + data[offset + len(new):]


def lan_datagram_seeds():
    # The LAN tests' datagrams: the good ones, and every query and answer a side must ignore.
    query = lan_query(0x5EA4C0DE)
    seeds = {
        "query": query,
        "query-with-padding": with_bytes(query, 100, b"p"),
        "answer": lan_answer(0xA1B2C3D4, 2000, 2, 4, b"Cool Quarv Server"),
        "answer-lowest-values": lan_answer(0, 1, 0, 1, b""),
        "answer-highest-values": lan_answer(0xFFFFFFFF, 36000, 16, 16, b"N" * 79),
        "answer-8-bit-letters": lan_answer(9, 2000, 1, 4, b"Caf\xe9 \xc5sa"),
        "query-empty": b"",
        "query-header-only": query[:12],
        "query-one-byte-short": query[:127],
        "query-one-byte-long": query + b"\0",
        "query-far-too-long": query + b"x" * 1900,
        "query-wrong-magic": with_bytes(query, 0, b"X"),
        "query-version-2": with_bytes(query, 4, b"\2"),
        "query-version-0": with_bytes(query, 4, b"\0"),
        "query-version-in-the-high-byte": with_bytes(query, 5, b"\1"),
        "query-kind-answer": with_bytes(query, 6, b"\2"),
        "query-kind-3": with_bytes(query, 6, b"\3"),
        "query-an-answer-with-nothing-asked": lan_answer(0x5EA4C0DE, 2000, 1, 4, b"Stray"),
    }
    answer = lambda port, name: lan_answer(77, port, 1, 4, name)
    no_terminator = answer(3005, b"NoTerminator")
    seeds.update({
        "answer-header-only": answer(3001, b"HeaderOnly")[:28],
        "answer-name-cut-short": answer(3002, b"CutShort")[:33],
        "answer-one-byte-long": answer(3003, b"OneByteLong") + b"\0",
        "answer-far-too-long": answer(3004, b"FarTooLong") + b"x" * 1900,
        "answer-name-without-its-terminator": no_terminator[:-1] + b"X",
        "answer-name-longer-than-its-field": answer(3006, b"L" * 80),
        "answer-name-length-beyond-the-datagram": with_bytes(answer(3007, b"Beyond"), 24, u32(0xFFFFFFF0)),
        "answer-control-character-in-the-name": answer(3008, b"Tab\there"),
        "answer-nul-inside-the-name": answer(3009, b"Nul\0inside"),
        "answer-wrong-magic": with_bytes(answer(3010, b"WrongMagic"), 3, b"X"),
        "answer-version-2": with_bytes(answer(3011, b"Version2"), 4, b"\2"),
        "answer-kind-query": with_bytes(answer(3012, b"KindQuery"), 6, b"\1"),
        "answer-of-another-search": lan_answer(78, 3013, 1, 4, b"OtherSearch"),
        "answer-port-0": answer(0, b"Port0"),
        "answer-port-36001": answer(36001, b"Port36001"),
        "answer-port-beyond-16-bits": answer(65536 + 3014, b"Port16Bits"),
        "answer-negative-port": answer(0xFFFFFFFF, b"NegativePort"),
        "answer-players-above-the-maximum": lan_answer(77, 3015, 5, 4, b"TooMany"),
        "answer-negative-players": lan_answer(77, 3016, 0xFFFFFFFF, 4, b"Negative"),
        "answer-maximum-0": lan_answer(77, 3017, 0, 0, b"Max0"),
        "answer-maximum-17": lan_answer(77, 3018, 1, 17, b"Max17"),
    })
    return seeds


def directory_request_seeds():
    # The service's tests of raw requests: the wizard's two, the refused ones, the web face's.
    good = entry(b"Ann's server", 2300)
    chunked = b"108\r\n" + good + b"\r\n0\r\n\r\n"
    list_11 = b"GET /cgi-bin/quarvcgiread.exe HTTP/1.1\r\nHost: x\r\n\r\n"
    post = b"POST /cgi-bin/quarvcgi.exe HTTP/1.0\r\nContent-type: application/x-www-form-urlencoded\r\n"
    return {
        "wizard-list": b"GET /cgi-bin/quarvcgiread.exe HTTP/1.0\nHost: quarv.example\r\n\r\n",
        "wizard-publication": post + b"Content-length: 264\r\n\r\n" + good,
        "short-body": post + b"Content-length: 263\r\n\r\n" + good[:263],
        "no-length": b"POST /cgi-bin/quarvcgi.exe HTTP/1.0\r\n\r\n" + good,
        "list-read-with-post": b"POST /cgi-bin/quarvcgiread.exe HTTP/1.0\r\nContent-length: 0\r\n\r\n",
        "publication-with-get": b"GET /cgi-bin/quarvcgi.exe HTTP/1.0\r\n\r\n",
        "length-and-chunked": b"POST /cgi-bin/quarvcgi.exe HTTP/1.1\r\nHost: x\r\nContent-length: 264\r\n"
                              b"Transfer-Encoding: chunked\r\n\r\n" + chunked + list_11,
        "chunked-and-length-other-spellings": b"POST /cgi-bin/quarvcgi.exe HTTP/1.1\r\nHost: x\r\n"
                                              b"transfer-encoding: Chunked\r\nCONTENT-LENGTH: 264\r\n\r\n"
                                              + chunked + list_11,
        "two-different-lengths": b"POST /cgi-bin/quarvcgi.exe HTTP/1.1\r\nHost: x\r\nContent-length: 264\r\n"
                                 b"Content-length: 300\r\n\r\n" + good + list_11,
        "the-same-length-twice": b"POST /cgi-bin/quarvcgi.exe HTTP/1.0\r\nContent-length: 264\r\n"
                                 b"Content-length: 264\r\n\r\n" + good,
        "chunked-without-length": b"POST /cgi-bin/quarvcgi.exe HTTP/1.1\r\nHost: x\r\n"
                                  b"Transfer-Encoding: chunked\r\n\r\n" + chunked,
        "nul-inside-the-path": b"GET /cgi-bin/quarvcgiread.exe\0x HTTP/1.0\r\n\r\n",
        "nul-at-the-end-of-the-path": b"GET /cgi-bin/quarvcgiread.exe\0 HTTP/1.0\r\n\r\n",
        "nul-inside-the-method": b"GE\0T /cgi-bin/quarvcgiread.exe HTTP/1.0\r\n\r\n",
        "nul-inside-a-publications-path": b"POST /cgi-bin/quarvcgi.exe\0/x HTTP/1.0\r\nContent-length: 264\r\n\r\n"
                                          + good,
        "escaped-nul-in-the-path": b"GET /cgi-bin/quarvcgiread.exe%00.html HTTP/1.0\r\n\r\n",
        "escaped-nul-in-the-query": b"GET /cgi-bin/quarvcgiread.exe?a=%00 HTTP/1.0\r\n\r\n",
        "keep-alive-list": list_11,
        "page": b"GET / HTTP/1.1\r\nHost: x\r\nAccept-Encoding: gzip\r\n\r\n",
        "metrics-with-head": b"HEAD /metrics HTTP/1.1\r\nHost: x\r\n\r\n",
        "page-with-delete": b"DELETE / HTTP/1.1\r\nHost: x\r\n\r\n",
        "unknown-path": b"GET /nothing/here HTTP/1.0\r\n\r\n",
    }


TARGETS = {
    "lobby_host_frames": lobby_host_seeds,
    "lobby_client_frames": lobby_client_seeds,
    "http_reply": http_reply_seeds,
    "server_list": server_list_seeds,
    "options_file": options_file_seeds,
    "wave_header": wave_header_seeds,
    "directory_publication": publication_seeds,
    "lan_datagrams": lan_datagram_seeds,
    "directory_request": directory_request_seeds,
}


def main():
    for target, make in TARGETS.items():
        folder = os.path.join(HERE, "seeds", target)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for name, data in make().items():
            with open(os.path.join(folder, name), "wb") as out:
                out.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
