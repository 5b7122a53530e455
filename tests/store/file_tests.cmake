# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The password file: saving and loading, failures while writing, crash safety.

corvella_store_test(store_password_file_test PasswordFileTest.cpp)
target_compile_definitions(store_password_file_test PRIVATE
  CORVELLA_VAULTREF="${CMAKE_SOURCE_DIR}/tests/tools/vaultref.py")

# Saves a password file in a loop: the crash safety test kills it at random moments, and runs two
# at once on the same file.
add_executable(store_vault_saver VaultSaver.cpp)
target_link_libraries(store_vault_saver PRIVATE corvella_store)

corvella_store_test(store_crash_safety_test CrashSafetyTest.cpp)
add_dependencies(store_crash_safety_test store_vault_saver)
target_compile_definitions(store_crash_safety_test PRIVATE
  CORVELLA_VAULT_SAVER="$<TARGET_FILE:store_vault_saver>")
# It kills the saver at random moments and runs two savers for 5 s. Run alone so that the timing
# holds.
set_tests_properties(store_crash_safety_test PROPERTIES LABELS crash RUN_SERIAL TRUE TIMEOUT 600)

corvella_store_test(store_backup_test BackupTest.cpp)
