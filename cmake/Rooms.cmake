# A Qt-free room is a library (or executable) that neither uses nor links Qt: no moc, and a
# configure-time check that nothing it links, directly or through another library, is a Qt
# target. Without Qt's include directories a Qt header in such a room fails to compile.
function(ziffa_collect_links target out)
    set(seen ${${out}})
    get_target_property(libs ${target} LINK_LIBRARIES)
    get_target_property(iface ${target} INTERFACE_LINK_LIBRARIES)
    foreach(lib IN LISTS libs iface)
        if(lib MATCHES "^\\$<" OR lib IN_LIST seen OR NOT TARGET ${lib})
            continue()
        endif()
        list(APPEND seen ${lib})
        ziffa_collect_links(${lib} seen)
    endforeach()
    set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(ziffa_check_qt_free target)
    set(links "")
    ziffa_collect_links(${target} links)
    foreach(lib IN LISTS links)
        if(lib MATCHES "^Qt[0-9]*::")
            message(FATAL_ERROR "${target} belongs to a Qt-free room but links ${lib}")
        endif()
    endforeach()
endfunction()

# Marks the targets as Qt-free; the check runs when the whole project has been read, so that
# links added later are seen too.
function(ziffa_qt_free_room)
    foreach(target IN LISTS ARGN)
        set_target_properties(${target} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
        set_property(GLOBAL APPEND PROPERTY ZIFFA_QT_FREE_TARGETS ${target})
    endforeach()
endfunction()

function(ziffa_check_qt_free_rooms)
    get_property(targets GLOBAL PROPERTY ZIFFA_QT_FREE_TARGETS)
    foreach(target IN LISTS targets)
        ziffa_check_qt_free(${target})
    endforeach()
endfunction()
