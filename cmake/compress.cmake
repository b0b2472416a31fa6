# Compressing installed text as Debian policy asks of man pages and changelogs.

# Adds a rule that writes input compressed into output with gzip -9n: the most compression,
# and neither the name nor the time of the input in the header, so that the same input
# always gives the same bytes.
function(dornavel_gzip input output)
  add_custom_command(OUTPUT ${output}
    COMMAND sh -c "gzip -9n <\"$1\" >\"$2\"" gzip ${input} ${output}
    DEPENDS ${input}
    COMMENT "Compressing ${output}"
    VERBATIM)
endfunction()
