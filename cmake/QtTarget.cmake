# quarrow_qt_target(TARGET)
#
# Turns on Qt's code generators for one library or program built on Qt: moc
# for the classes that declare Q_OBJECT and rcc for the .qrc resource lists
# among its sources. Every target that links Qt calls it; the targets without
# Qt (the engine, the converter, the update check's core) never run them.
function(quarrow_qt_target target)
  set_target_properties(${target} PROPERTIES AUTOMOC ON AUTORCC ON)
endfunction()
