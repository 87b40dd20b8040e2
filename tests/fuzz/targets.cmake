# Every fuzz target of the repository, one call each:
#   quarv_fuzz_target(NAME <name> MAX_LEN <bytes> [TIMEOUT <seconds>] [MALLOC_LIMIT_MB <MiB>]
#                     [RSS_LIMIT_MB <MiB>] [SOURCES <product files>] [INCLUDES <folders>])
# The harness is tests/fuzz/<name>.cpp and the seed corpus tests/fuzz/seeds/<name>/;
# SOURCES and INCLUDES are relative to the repository. The native fuzz project builds each
# target; the cross tree runs each one as a ctest test.
quarv_fuzz_target(NAME lobby_host_frames MAX_LEN 70000 SOURCES net/lobby_frames.cpp INCLUDES net)
quarv_fuzz_target(NAME lobby_client_frames MAX_LEN 70000 SOURCES net/lobby_frames.cpp INCLUDES net)
quarv_fuzz_target(NAME http_reply MAX_LEN 70000 SOURCES directory/http_reply.cpp INCLUDES directory)
quarv_fuzz_target(NAME server_list MAX_LEN 6000 INCLUDES directory)
quarv_fuzz_target(NAME options_file MAX_LEN 400 SOURCES launcher/game_options.cpp INCLUDES launcher)
quarv_fuzz_target(NAME wave_header MAX_LEN 4096 SOURCES audio/wave_content.cpp INCLUDES audio)
quarv_fuzz_target(NAME directory_publication MAX_LEN 600
  SOURCES directory-service/publication.cpp INCLUDES directory-service directory)
# Both discovery sockets read at most 512 bytes of a datagram.
quarv_fuzz_target(NAME lan_datagrams MAX_LEN 512 SOURCES discovery/lan_datagrams.cpp INCLUDES discovery)
quarv_fuzz_target(NAME directory_request MAX_LEN 2048
  SOURCES directory-service/request_rules.cpp directory-service/publication.cpp INCLUDES directory-service directory)
