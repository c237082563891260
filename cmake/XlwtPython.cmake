# QUARLEX_XLWT_PYTHON: a python3 that can import xlwt (Debian's python3-xlwt),
# for the generators that write workbooks. The system interpreter comes first:
# a python3 earlier on PATH (a virtual environment, pyenv) may lack the module.
if(NOT QUARLEX_XLWT_PYTHON)
  find_program(_quarlex_system_python3 python3 PATHS /usr/bin NO_DEFAULT_PATH)
  find_program(_quarlex_path_python3 python3)
  foreach(candidate ${_quarlex_system_python3} ${_quarlex_path_python3})
    execute_process(COMMAND ${candidate} -c "import xlwt" RESULT_VARIABLE rc
                    OUTPUT_QUIET ERROR_QUIET)
    if(rc EQUAL 0)
      set(QUARLEX_XLWT_PYTHON ${candidate} CACHE FILEPATH "python3 with xlwt")
      break()
    endif()
  endforeach()
  if(NOT QUARLEX_XLWT_PYTHON)
    message(FATAL_ERROR "No python3 with xlwt found: install python3-xlwt (scripts/install-deps.sh)")
  endif()
endif()
