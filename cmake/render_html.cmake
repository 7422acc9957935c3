# Renders one document as a page of its own for the Windows packages,
# at build time and offline: Markdown (GitHub's, with its tables) through
# cmark-gfm, a manual page (the roff that scdoc made) through mandoc.
#   cmake -DIN=file.md|file.1 -DOUT=file.html -DTITLE=... -DRENDERER=path
#         -P render_html.cmake
cmake_minimum_required(VERSION 3.25)
if(IN MATCHES "\\.md$")
  execute_process(COMMAND ${RENDERER} -e table -e autolink ${IN}
                  OUTPUT_VARIABLE body RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmark-gfm failed on ${IN}")
  endif()
  # The documents link to each other by their Markdown names, some from
  # the source tree's root; in a package they all sit in one folder.
  string(REGEX REPLACE "href=\"(docs/)?([A-Za-z0-9_-]+)\\.md" "href=\"\\2.html"
         body "${body}")
  # cmark gives headings no anchors; the tables of contents link to the
  # ones that the Markdown viewers make (lower case, words joined by "-").
  set(page "")
  set(slugs "")
  while(body MATCHES "<h([1-6])>(.*)$")
    string(FIND "${body}" "<h${CMAKE_MATCH_1}>" at)
    string(SUBSTRING "${body}" 0 ${at} before)
    set(level ${CMAKE_MATCH_1})
    string(LENGTH "<h${level}>" open)
    math(EXPR at "${at} + ${open}")
    string(SUBSTRING "${body}" ${at} -1 body)
    string(FIND "${body}" "</h${level}>" end)
    string(SUBSTRING "${body}" 0 ${end} heading)
    string(REGEX REPLACE "<[^>]*>" "" slug "${heading}")
    string(REGEX REPLACE "&[a-z]+;" "" slug "${slug}")
    string(TOLOWER "${slug}" slug)
    string(REGEX REPLACE "[^a-z0-9 _-]" "" slug "${slug}")
    string(REPLACE " " "-" slug "${slug}")
    # A heading that repeats an earlier one gets "-1", "-2", ... as there.
    set(unique ${slug})
    set(n 0)
    while(unique IN_LIST slugs)
      math(EXPR n "${n} + 1")
      set(unique ${slug}-${n})
    endwhile()
    set(slug ${unique})
    list(APPEND slugs ${slug})
    string(APPEND page "${before}<h${level} id=\"${slug}\">")
  endwhile()
  string(APPEND page "${body}")
  file(WRITE ${OUT} "<!DOCTYPE html>
<html lang=\"en\">
<head>
<meta charset=\"utf-8\">
<title>${TITLE}</title>
<style>
body { font-family: sans-serif; max-width: 50em; margin: 1em auto; padding: 0 1em; line-height: 1.4; }
pre, code { font-family: monospace; background: #f4f4f4; }
pre { padding: 0.5em; overflow-x: auto; }
table { border-collapse: collapse; }
th, td { border: 1px solid #ccc; padding: 0.2em 0.5em; vertical-align: top; }
</style>
</head>
<body>
${page}</body>
</html>
")
else()
  execute_process(COMMAND ${RENDERER} -T html -W error ${IN}
                  OUTPUT_FILE ${OUT} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "mandoc failed on ${IN}")
  endif()
endif()
